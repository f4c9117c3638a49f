#include "picture_check.h"

#include <cmath>
#include <system_error>

#include <vips/vips8>

#include "image_io.h"

namespace krumple::bench {

namespace {
using vips::VImage;

VImage uprightRgb8(const std::filesystem::path& file) {
    VImage im = VImage::new_from_file(file.c_str()).autorot();
    if (im.interpretation() != VIPS_INTERPRETATION_sRGB) im = im.colourspace(VIPS_INTERPRETATION_sRGB);
    if (im.bands() > 3) im = im.extract_band(0, VImage::option()->set("n", 3));
    return im.cast(VIPS_FORMAT_UCHAR);
}
}  // namespace

std::optional<PictureSize> pictureSize(const std::filesystem::path& file) {
    ensureImageLibrary();
    try {
        const VImage im = VImage::new_from_file(file.c_str());
        return PictureSize{im.width(), im.height()};
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::optional<PictureSize> uprightSize(const std::filesystem::path& file) {
    ensureImageLibrary();
    try {
        const VImage im = VImage::new_from_file(file.c_str()).autorot();
        return PictureSize{im.width(), im.height()};
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::string describe(const std::optional<PictureSize>& size) {
    if (!size) return "unreadable";
    return std::to_string(size->width) + "×" + std::to_string(size->height);
}

std::optional<double> psnr(const std::filesystem::path& source, const std::filesystem::path& output) {
    ensureImageLibrary();
    try {
        const VImage a = uprightRgb8(source);
        const VImage b = uprightRgb8(output);
        if (a.width() != b.width() || a.height() != b.height()) return std::nullopt;
        const VImage diff = a.cast(VIPS_FORMAT_FLOAT) - b.cast(VIPS_FORMAT_FLOAT);
        const double mse = (diff * diff).avg();
        if (mse <= 0) return 99.0;
        return 10.0 * std::log10(255.0 * 255.0 / mse);
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::int64_t fileBytes(const std::filesystem::path& file) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(file, ec);
    return ec ? -1 : static_cast<std::int64_t>(n);
}

}  // namespace krumple::bench
