#include <cstring>

#include "converter.h"
#include "decoding.h"

namespace krumple::Converter {

vips::VImage toDisplaySRGB(vips::VImage im) {
    using vips::VImage;
    const bool managed = im.get_typeof(VIPS_META_ICC_NAME) != 0 || im.interpretation() == VIPS_INTERPRETATION_CMYK;
    if (managed) {
        im = im.icc_transform("srgb", VImage::option()
                                          ->set("embedded", true)
                                          ->set("input_profile",
                                                im.interpretation() == VIPS_INTERPRETATION_CMYK ? "cmyk" : "srgb")
                                          ->set("depth", 8));
    } else if (im.interpretation() != VIPS_INTERPRETATION_sRGB || im.format() != VIPS_FORMAT_UCHAR) {
        im = im.colourspace(VIPS_INTERPRETATION_sRGB);
    }
    if (im.format() != VIPS_FORMAT_UCHAR) im = im.cast(VIPS_FORMAT_UCHAR);
    if (im.bands() > 4) im = im.extract_band(0, VImage::option()->set("n", 4));
    return im;
}

std::optional<LoadedImage> loadForDisplay(const std::filesystem::path& file, std::int64_t maxPixel) {
    const auto source = ImageSource::open(file);
    if (!source) return std::nullopt;
    const auto size = orientedSize(*source);
    const std::int64_t limit =
        size ? std::min(static_cast<std::int64_t>(std::max(size->width, size->height)), maxPixel) : maxPixel;
    auto image = decode(*source, limit, /*decodeNow=*/false);
    if (!image) return std::nullopt;
    try {
        const vips::VImage display = toDisplaySRGB(image->pixels).copy_memory();
        const void* data = vips_image_get_data(display.get_image());
        const auto bytes = static_cast<std::size_t>(display.width()) * static_cast<std::size_t>(display.height()) *
                           static_cast<std::size_t>(display.bands());
        auto pixels = std::make_shared<std::vector<std::uint8_t>>(bytes);
        std::memcpy(pixels->data(), data, bytes);
        Bitmap bitmap{display.width(), display.height(), display.bands(), std::move(pixels)};
        const PixelSize pixelSize = size ? *size : PixelSize{double(display.width()), double(display.height())};
        return LoadedImage{std::move(bitmap), pixelSize};
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

}  // namespace krumple::Converter
