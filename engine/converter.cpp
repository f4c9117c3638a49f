#include "converter.h"
#include "decoding.h"

#include <sys/stat.h>

#include <cmath>
#include <system_error>

namespace krumple::Converter {

namespace {
// Whole number nearest to v, halves away from zero, clamped into int64.
std::int64_t roundedWhole(double v) {
    if (!std::isfinite(v)) return 0;
    if (v >= 9.2e18) return INT64_MAX;
    if (v <= -9.2e18) return INT64_MIN;
    return static_cast<std::int64_t>(std::round(v));
}

std::optional<std::int64_t> decodeLimit(const ImageSource& source, const ConvertSettings& settings) {
    const auto size = orientedSize(source);
    if (!size) return std::nullopt;
    return roundedWhole(std::max(size->width, size->height) * settings.limitScale(size->width, size->height));
}

// Whether the image is the stored image 0 untouched: no turn, no resize.
bool isStoredAsIs(const ImageSource& source, const Image& image) {
    const Properties& p = source.properties();
    return numberAt(p, prop::orientation).value_or(1) == 1 &&
           numberAt(p, prop::pixelWidth) == static_cast<double>(image.width()) &&
           numberAt(p, prop::pixelHeight) == static_cast<double>(image.height());
}
}  // namespace

bool canRead(const std::filesystem::path& file) { return ImageSource::open(file) != nullptr; }

std::optional<PixelSize> orientedSize(const ImageSource& source) {
    const Properties& p = source.properties();
    const auto width = numberAt(p, prop::pixelWidth), height = numberAt(p, prop::pixelHeight);
    if (!width || !height || !(*width > 0) || !(*height > 0)) return std::nullopt;
    const double o = numberAt(p, prop::orientation).value_or(1.0);
    const bool quarterTurn = std::isfinite(o) && std::trunc(o) >= 5;
    return quarterTurn ? PixelSize{*height, *width} : PixelSize{*width, *height};
}

std::optional<Image> decode(const ImageSource& source, std::optional<std::int64_t> maxPixel, bool decodeNow,
                            bool keepDepth) {
    if (!maxPixel) {
        const auto size = orientedSize(source);
        if (!size) return source.storedImage();
        maxPixel = roundedWhole(std::max(size->width, size->height));
    }
    if (auto image = source.thumbnail(*maxPixel, decodeNow, keepDepth)) return image;
    return source.storedImage();
}

Image flattenedOnWhite(const Image& image) {
    if (!image.hasAlpha()) return image;
    try {
        const vips::VImage& in = image.pixels;
        const bool sixteenBit = in.interpretation() == VIPS_INTERPRETATION_RGB16 ||
                                in.interpretation() == VIPS_INTERPRETATION_GREY16;
        const double white = sixteenBit ? 65535.0 : 255.0;
        const std::vector<double> background(static_cast<std::size_t>(in.bands() - 1), white);
        vips::VImage flat = in.flatten(vips::VImage::option()->set("background", background)->set("max_alpha", white));
        // flatten works in float; back to the source's sample format.
        flat = flat.cast(in.format());
        if (image.decoded) flat = flat.copy_memory();
        return Image{flat, image.decoded};
    } catch (const vips::VError&) {
        vips_error_clear();
        return image;
    }
}

Properties metadata(const ImageSource& source) {
    // The pixel size is the writer's to know; the blocks are rewritten for orientation 1.
    Properties p;
    for (std::string_view key : {prop::exifData, prop::xmpData, prop::iptcData})
        if (auto it = source.properties().find(key); it != source.properties().end()) p.emplace(it->first, it->second);
    p.insert_or_assign(std::string(prop::orientation), 1);
    return p;
}

std::expected<std::int64_t, ConvertError> convert(const std::filesystem::path& src, const std::filesystem::path& dst,
                                                  const ConvertSettings& settings, std::stop_token cancel,
                                                  Replace replace) {
    if (cancel.stop_requested()) return std::unexpected(ConvertError::cancelled);

    // Taken before reading, which may touch the access time.
    struct stat before {};
    const bool dated = settings.keepDates && ::stat(src.c_str(), &before) == 0;
    const auto source = ImageSource::open(src);
    if (!source) return std::unexpected(ConvertError::unreadable);

    const auto maxPixel = decodeLimit(*source, settings);
    // Pixels stream from the decoder into the encoder; nothing holds the whole picture.
    auto image = decode(*source, maxPixel, /*decodeNow=*/false, /*keepDepth=*/settings.format.keepsDeepColour());
    if (!image) return std::unexpected(ConvertError::decodeFailed);

    if (settings.format == OutputFormat::jpeg && image->hasAlpha()) image = flattenedOnWhite(*image);

    Properties props = settings.stripMetadata ? Properties{} : metadata(*source);

    auto destination = ImageDestination::create(dst, settings.format, replace);
    if (!destination) return std::unexpected(ConvertError::encodeFailed);
    EncodeOptions options = optionsFor(settings.format, settings.quality);
    if (image->pixels.format() == VIPS_FORMAT_USHORT) options.bitDepth = 16;
    options.stripMetadata = settings.stripMetadata;
    if (options.lossless && settings.format == OutputFormat::jxl && isStoredAsIs(*source, *image))
        options.jpeg = source->jpegFile();
    destination->addImage(*image, props, options);
    if (dated) destination->setTimes(before.st_atim, before.st_mtim);
    if (!destination->finalize()) {
        // Decoding happens during the write: tell a damaged source from a failing encoder.
        if (!source->decodesCleanly()) return std::unexpected(ConvertError::decodeFailed);
        return std::unexpected(ConvertError::encodeFailed);
    }

    std::error_code ec;
    const auto size = std::filesystem::file_size(dst, ec);
    return ec ? 0 : static_cast<std::int64_t>(size);
}

}  // namespace krumple::Converter
