#include "difference.h"

#include <algorithm>

#include "butteraugli.h"
#include "decoding.h"

namespace krumple::Converter {
namespace {
using vips::VImage;

// Butteraugli takes about 240 bytes a pixel: a whole 18 MP photo would need
// over 4 GB, tiles of 768 pixels take about 170 MB. On a 4.9 MP photo the
// tiles' score matched the whole's to four digits even without a margin;
// 32 pixels keep seams out of the map (a multiple of 8 keeps Butteraugli's
// half-size pass on the same grid).
constexpr std::int64_t measuredWhole = 1'000'000;
constexpr int tileSide = 768;
constexpr int tileMargin = 32;

}  // namespace

std::optional<Difference> difference(const std::filesystem::path& source, const std::filesystem::path& output,
                                     std::int64_t mapMaxPixel, std::stop_token stop, int threads) {
    try {
        const auto converted = ImageSource::open(output);
        if (!converted) return std::nullopt;
        const auto distorted = decode(*converted, std::nullopt);
        if (!distorted) return std::nullopt;
        const int width = distorted->width(), height = distorted->height();
        const auto original = ImageSource::open(source);
        if (!original) return std::nullopt;
        // As the conversion shrank it; the exact size follows from rounding.
        const auto reference = decode(*original, std::max(width, height));
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
        const bool whole = std::int64_t{width} * height <= measuredWhole;
        return tiledDistance(width, height, a.data(), b.data(), whole ? int(longer) : tileSide, whole ? 0 : tileMargin,
                             factor, stop, threads);
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

}  // namespace krumple::Converter
