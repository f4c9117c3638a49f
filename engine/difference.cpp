#include "difference.h"

#include <algorithm>

#include "butteraugli.h"
#include "decoding.h"

namespace krumple::Converter {
using vips::VImage;

std::optional<Difference> difference(const std::filesystem::path& source, const std::filesystem::path& output,
                                     std::int64_t mapMaxPixel, std::stop_token stop, int threads) {
    try {
        const auto converted = ImageSource::open(output);
        const auto original = ImageSource::open(source);
        if (!converted || !original) return std::nullopt;
        // An animation kept whole is measured over all its frames, stacked.
        const bool frames = converted->frames() > 1 && converted->frames() == original->frames();
        const auto distorted = decode(*converted, std::nullopt, true, false, frames);
        if (!distorted) return std::nullopt;
        const int width = distorted->width(), height = distorted->height();
        // As the conversion shrank it; the exact size follows from rounding.
        const auto reference = decode(*original, std::max(width, distorted->pageHeight()), true, false, frames);
        if (!reference) return std::nullopt;
        VImage pixels = reference->pixels;
        if (pixels.width() != width || pixels.height() != height)
            pixels = pixels
                         .resize(double(width) / pixels.width(),
                                 VImage::option()->set("vscale", double(height) / pixels.height()))
                         .embed(0, 0, width, height, VImage::option()->set("extend", VIPS_EXTEND_COPY));
        const std::vector<std::uint8_t> a = butteraugliInput(pixels);
        const std::vector<std::uint8_t> b = butteraugliInput(distorted->pixels);
        if (stop.stop_requested()) return std::nullopt;
        const std::int64_t longer = std::max(width, height);
        const int factor = static_cast<int>(std::max<std::int64_t>(1, (longer + mapMaxPixel - 1) / std::max<std::int64_t>(1, mapMaxPixel)));
        return pictureDistance(width, height, a.data(), b.data(), factor, stop, threads);
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

}  // namespace krumple::Converter
