#include "converter.h"
#include "decoding.h"
#include "atomic_file.h"
#include "jxl_transcode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include <cmath>
#include <system_error>

namespace krumple::Converter {

namespace {
// The rest of `in` into `out` by plain reads and writes, for file systems
// without copy_file_range.
bool copyByReading(int in, int out, std::int64_t& copied) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!writeWhole(out, buffer.data(), static_cast<std::size_t>(n))) return false;
        copied += n;
    }
}

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

// The EXIF orientation that turns the stored image 0 into `image`, full
// size; none when it was resized.
std::optional<int> turnFromStored(const ImageSource& source, const Image& image) {
    const auto size = orientedSize(source);
    if (!size || *size != PixelSize{static_cast<double>(image.width()), static_cast<double>(image.height())})
        return std::nullopt;
    const double o = numberAt(source.properties(), prop::orientation).value_or(1);
    return o >= 1 && o <= 8 && std::trunc(o) == o ? static_cast<int>(o) : 1;
}
}  // namespace

bool canRead(const std::filesystem::path& file) { return ImageSource::open(file) != nullptr; }

std::optional<int> readableFrames(const std::filesystem::path& file) {
    const auto source = ImageSource::open(file);
    return source ? std::optional(source->frames()) : std::nullopt;
}

std::optional<PixelSize> orientedSize(const ImageSource& source) {
    const Properties& p = source.properties();
    const auto width = numberAt(p, prop::pixelWidth), height = numberAt(p, prop::pixelHeight);
    if (!width || !height || !(*width > 0) || !(*height > 0)) return std::nullopt;
    const double o = numberAt(p, prop::orientation).value_or(1.0);
    const bool quarterTurn = std::isfinite(o) && std::trunc(o) >= 5;
    return quarterTurn ? PixelSize{*height, *width} : PixelSize{*width, *height};
}

std::optional<Image> decode(const ImageSource& source, std::optional<std::int64_t> maxPixel, bool decodeNow,
                            bool keepDepth, bool allFrames) {
    if (!maxPixel) {
        const auto size = orientedSize(source);
        if (!size) return source.storedImage();
        maxPixel = roundedWhole(std::max(size->width, size->height));
    }
    if (auto image = source.thumbnail(*maxPixel, decodeNow, keepDepth, allFrames)) return image;
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

std::expected<Converted, ConvertError> convert(const std::filesystem::path& src, const std::filesystem::path& dst,
                                               const ConvertSettings& settings, std::stop_token cancel,
                                               Replace replace) {
    if (cancel.stop_requested()) return std::unexpected(ConvertError::cancelled);

    // Taken before reading, which may touch the access time.
    struct stat before {};
    const bool known = ::stat(src.c_str(), &before) == 0;
    if (settings.onlySmaller && !known) return std::unexpected(ConvertError::unreadable);
    const auto source = ImageSource::open(src);
    if (!source) return std::unexpected(ConvertError::unreadable);

    const auto maxPixel = decodeLimit(*source, settings);
    // Pixels stream from the decoder into the encoder; nothing holds the whole picture.
    const int frames = source->frames();
    auto image = decode(*source, maxPixel, /*decodeNow=*/false, /*keepDepth=*/settings.format.keepsDeepColour(),
                        /*allFrames=*/frames > 1 && settings.format.holdsFrames());
    if (!image) return std::unexpected(ConvertError::decodeFailed);

    if (settings.format == OutputFormat::jpeg && image->hasAlpha()) image = flattenedOnWhite(*image);

    Properties props = settings.stripMetadata ? Properties{} : metadata(*source);

    auto destination = ImageDestination::create(dst, settings.format, replace);
    if (!destination) return std::unexpected(ConvertError::encodeFailed);
    EncodeOptions options = optionsFor(settings.format, settings.quality);
    if (image->pixels.format() == VIPS_FORMAT_USHORT) options.bitDepth = 16;
    options.stripMetadata = settings.stripMetadata;
    if (options.lossless && settings.format == OutputFormat::jxl)
        if (const auto turn = turnFromStored(*source, *image)) {
            options.jpeg = source->jpegFile();
            options.jpegOrientation = *turn;
        }
    if (settings.format == OutputFormat::png && source->isPng()) options.png = source->wholeFile();
    destination->addImage(*image, props, options);
    if (settings.keepDates && known) destination->setTimes(before.st_atim, before.st_mtim);
    // Lossless formats have no quality to search: a size cap only checks.
    const bool searched = (settings.targetDistance || settings.maxBytes) && !settings.format.isLossless();
    std::optional<std::int64_t> limit;
    // A still is no smaller version of an animation: only an animation may replace one.
    if (settings.onlySmaller) limit = frames > 1 && image->frames() == 1 ? 0 : before.st_size;
    if (settings.maxBytes && !searched) limit = std::min(limit.value_or(INT64_MAX), *settings.maxBytes + 1);
    if (limit) destination->keepOnlyBelow(*limit);
    if (searched) destination->chooseQualityFor(QualityGoal{settings.targetDistance, settings.maxBytes});
    const bool finished = destination->finalize();
    Converted converted;
    converted.sourceSize = known ? before.st_size : 0;
    converted.sourceFrames = frames;
    converted.frames = image->frames();
    if (const auto& chosen = destination->chosen()) {
        converted.quality = chosen->quality;
        converted.distance = chosen->distance;
        if (!chosen->met && settings.maxBytes) {
            converted.size = static_cast<std::int64_t>(chosen->file.size());
            converted.written = false;
            converted.overCap = true;
            return converted;
        }
    }
    if (!finished) {
        if (const auto size = destination->notSmaller()) {
            converted.size = *size;
            converted.written = false;
            converted.overCap = settings.maxBytes && *size > *settings.maxBytes;
            return converted;
        }
        // Decoding happens during the write: tell a damaged source from a failing encoder.
        if (!source->decodesCleanly()) return std::unexpected(ConvertError::decodeFailed);
        return std::unexpected(ConvertError::encodeFailed);
    }

    std::error_code ec;
    const auto size = std::filesystem::file_size(dst, ec);
    converted.size = ec ? 0 : static_cast<std::int64_t>(size);
    // Told by what was written: libjxl refuses some JPEGs, which then go as pixels.
    if (options.lossless && settings.format == OutputFormat::jxl && source->isJpeg())
        // Left out, the metadata makes the JPEG inside another JPEG than the source.
        converted.rebuildsJpeg = options.jpeg && !settings.stripMetadata && jxl::rebuildsJpeg(dst);
    return converted;
}

std::expected<std::int64_t, ConvertError> copyOriginal(const std::filesystem::path& src,
                                                       const std::filesystem::path& dst, bool keepDates,
                                                       Replace replace) {
    const int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return std::unexpected(ConvertError::unreadable);
    struct stat before {};
    if (::fstat(in, &before) != 0 || !S_ISREG(before.st_mode)) {
        ::close(in);
        return std::unexpected(ConvertError::unreadable);
    }
    auto file = AtomicFile::create(dst, replace);
    if (!file) {
        ::close(in);
        return std::unexpected(ConvertError::encodeFailed);
    }
    if (keepDates) file->setTimes(before.st_atim, before.st_mtim);
    std::int64_t copied = 0;
    bool whole = true;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, file->fd(), nullptr, 1 << 20, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && copied == 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
            whole = copyByReading(in, file->fd(), copied);
            break;
        }
        if (n < 0) whole = false;
        if (n <= 0) break;
        copied += n;
    }
    ::close(in);
    // A source that changed size while being copied is not copied whole.
    if (!file->commit(whole && copied == before.st_size)) return std::unexpected(ConvertError::encodeFailed);
    return copied;
}

}  // namespace krumple::Converter
