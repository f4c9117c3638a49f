#include "avif_frames.h"

#include <avif/avif.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "decoding.h"
#include "image_io.h"

namespace krumple::avif {
namespace {
using vips::VImage;

// aom at speed 6, as for a still (avif_encoder.cpp).
constexpr int speed = 6;
// A picture's pixels, all frames together, as ImageSource refuses beyond them.
constexpr std::uint32_t pixelLimit = std::uint32_t{1} << 28;

struct DecoderDeleter {
    void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
};
struct EncoderDeleter {
    void operator()(::avifEncoder* e) const { avifEncoderDestroy(e); }
};
struct ImageDeleter {
    void operator()(avifImage* i) const { avifImageDestroy(i); }
};
using DecoderPtr = std::unique_ptr<avifDecoder, DecoderDeleter>;
using ImagePtr = std::unique_ptr<avifImage, ImageDeleter>;

// A decoder that has read the file's structure, from `read` (memory or a file).
DecoderPtr parsed(const std::function<avifResult(avifDecoder*)>& read) {
    DecoderPtr decoder(avifDecoderCreate());
    if (!decoder) return nullptr;
    decoder->maxThreads = 1;  // jobs run one a core already
    decoder->imageSizeLimit = pixelLimit;
    // Read what libheif reads: files that bend the letter of the format too.
    decoder->strictFlags = AVIF_STRICT_DISABLED;
    if (read(decoder.get()) != AVIF_RESULT_OK || avifDecoderParse(decoder.get()) != AVIF_RESULT_OK) return nullptr;
    return decoder;
}

DecoderPtr parsed(const Blob& file) {
    return parsed([&file](avifDecoder* d) { return avifDecoderSetIOMemory(d, file.data(), file.size()); });
}

// The crop the clean aperture asks for, when it is a valid one.
std::optional<avifCropRect> cropOf(const avifImage& image) {
    if (!(image.transformFlags & AVIF_TRANSFORM_CLAP)) return std::nullopt;
    avifCropRect rect{};
    avifDiagnostics diag{};
    if (!avifCropRectConvertCleanApertureBox(&rect, &image.clap, image.width, image.height, image.yuvFormat, &diag))
        return std::nullopt;
    return rect;
}

// Crop, then turn, then mirror: the order the format gives them.
VImage transformed(VImage frame, const avifImage& image) {
    if (const auto rect = cropOf(image))
        frame = frame.crop(static_cast<int>(rect->x), static_cast<int>(rect->y), static_cast<int>(rect->width),
                           static_cast<int>(rect->height));
    if (image.transformFlags & AVIF_TRANSFORM_IROT) {
        // Quarter turns anticlockwise; libvips turns clockwise.
        static constexpr VipsAngle clockwise[] = {VIPS_ANGLE_D0, VIPS_ANGLE_D270, VIPS_ANGLE_D180, VIPS_ANGLE_D90};
        if (image.irot.angle % 4 != 0) frame = frame.rot(clockwise[image.irot.angle % 4]);
    }
    if (image.transformFlags & AVIF_TRANSFORM_IMIR)
        frame = frame.flip(image.imir.mode == 0 ? VIPS_DIRECTION_VERTICAL : VIPS_DIRECTION_HORIZONTAL);
    return frame;
}

std::pair<int, int> shownSize(const avifImage& image) {
    int width = static_cast<int>(image.width), height = static_cast<int>(image.height);
    if (const auto rect = cropOf(image)) {
        width = static_cast<int>(rect->width);
        height = static_cast<int>(rect->height);
    }
    if ((image.transformFlags & AVIF_TRANSFORM_IROT) && image.irot.angle % 2 == 1) std::swap(width, height);
    return {width, height};
}

// The decoder's current frame as RGB(A), 8 or 16 bits a sample.
std::optional<VImage> rgbOf(const avifImage& image, bool alpha) {
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, &image);
    rgb.format = alpha ? AVIF_RGB_FORMAT_RGBA : AVIF_RGB_FORMAT_RGB;
    rgb.depth = image.depth > 8 ? 16 : 8;
    avifRGBImageAllocatePixels(&rgb);
    std::optional<VImage> out;
    if (rgb.pixels && avifImageYUVToRGB(&image, &rgb) == AVIF_RESULT_OK) {
        const int bands = alpha ? 4 : 3;
        const std::size_t row = std::size_t{rgb.width} * (alpha ? 4u : 3u) * (rgb.depth / 8u);
        std::vector<std::uint8_t> packed(row * rgb.height);
        for (std::uint32_t y = 0; y < rgb.height; ++y)
            std::memcpy(packed.data() + y * row, rgb.pixels + std::size_t{y} * rgb.rowBytes, row);
        VipsImage* copied = vips_image_new_from_memory_copy(packed.data(), packed.size(), static_cast<int>(rgb.width),
                                                            static_cast<int>(rgb.height), bands,
                                                            rgb.depth == 16 ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR);
        if (copied)
            out = VImage(copied).copy(VImage::option()->set(
                "interpretation", rgb.depth == 16 ? VIPS_INTERPRETATION_RGB16 : VIPS_INTERPRETATION_sRGB));
    }
    avifRGBImageFreePixels(&rgb);
    return out;
}

// Our codec quality as an AV1 quantizer, as libheif maps it for aom.
int quantizerFor(int q) { return std::clamp(((100 - q) * 63 + 50) / 100, 0, 63); }

}  // namespace

bool looksLikeAvif(const std::uint8_t* head, std::size_t size) {
    if (size < 12 || std::memcmp(head + 4, "ftyp", 4) != 0) return false;
    const std::size_t box = std::min<std::size_t>(size, (std::size_t{head[0]} << 24) | (std::size_t{head[1]} << 16) |
                                                            (std::size_t{head[2]} << 8) | head[3]);
    // The major brand, then the compatible ones after the minor version.
    for (std::size_t at = 8; at + 4 <= box; at += at == 8 ? 8 : 4) {
        const std::string_view brand(reinterpret_cast<const char*>(head + at), 4);
        if (brand == "avif" || brand == "avis") return true;
    }
    return false;
}

std::optional<Header> headerOf(const std::filesystem::path& file) {
    // Read from the file as parsing asks: the pixels stay on disk.
    const DecoderPtr decoder = parsed([&file](avifDecoder* d) { return avifDecoderSetIOFile(d, file.c_str()); });
    if (!decoder || decoder->imageCount < 1) return std::nullopt;
    const avifImage& image = *decoder->image;
    Header header;
    std::tie(header.width, header.height) = shownSize(image);
    header.frames = decoder->imageCount;
    header.deep = image.depth > 8;
    header.alpha = decoder->alphaPresent != 0;
    header.beyondLibheif = header.frames > 1 || (header.deep && (image.transformFlags & AVIF_TRANSFORM_IMIR));
    header.icc.assign(image.icc.data, image.icc.data + image.icc.size);
    header.exif.assign(image.exif.data, image.exif.data + image.exif.size);
    header.xmp.assign(reinterpret_cast<const char*>(image.xmp.data), image.xmp.size);
    if (header.width < 1 || header.height < 1 ||
        std::int64_t{header.width} * header.height * header.frames > std::int64_t{pixelLimit})
        return std::nullopt;
    return header;
}

std::optional<VImage> framesOf(const Blob& file, int most) {
    const DecoderPtr decoder = parsed(file);
    if (!decoder || decoder->imageCount < 1) return std::nullopt;
    const bool alpha = decoder->alphaPresent != 0;
    std::vector<VImage> frames;
    std::vector<int> delays;
    const int wanted = std::min(most, decoder->imageCount);
    try {
        while (static_cast<int>(frames.size()) < wanted) {
            if (avifDecoderNextImage(decoder.get()) != AVIF_RESULT_OK) return std::nullopt;
            const avifImage& image = *decoder->image;
            auto rgb = rgbOf(image, alpha);
            if (!rgb) return std::nullopt;
            VImage frame = transformed(*rgb, image).copy_memory();
            if (!frames.empty() && (frame.width() != frames.front().width() || frame.height() != frames.front().height()))
                return std::nullopt;
            frames.push_back(frame);
            delays.push_back(static_cast<int>(std::lround(decoder->imageTiming.duration * 1000)));
        }
        VImage stacked = frames.size() == 1 ? frames.front() : VImage::arrayjoin(frames, VImage::option()->set("across", 1)).copy_memory();
        stacked = stacked.copy();
        if (decoder->image->icc.size > 0)
            vips_image_set_blob_copy(stacked.get_image(), VIPS_META_ICC_NAME, decoder->image->icc.data,
                                     decoder->image->icc.size);
        // libavif 0.11 keeps no loop count: a sequence plays for ever.
        return frames.size() > 1 ? withFrameTiming(stacked, frames.front().height(), {delays, 0}) : stacked;
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::optional<Blob> animationFrom(const VImage& stacked, const MetadataBlocks& metadata, const EncodeOptions& options) {
    const int frames = stackedFrames(stacked);
    const VImage im = Converter::toDisplaySRGB(stacked).copy_memory();
    const int width = im.width(), page = im.height() / frames, bands = im.bands();
    const FrameTiming timing = frameTiming(im);
    std::unique_ptr<::avifEncoder, EncoderDeleter> encoder(avifEncoderCreate());
    if (!encoder) return std::nullopt;
    encoder->maxThreads = 1;
    encoder->speed = speed;
    encoder->timescale = 1000;  // a tick is a millisecond
    const int quantizer = options.lossless ? 0 : quantizerFor(options.q);
    encoder->minQuantizer = encoder->maxQuantizer = quantizer;
    encoder->minQuantizerAlpha = encoder->maxQuantizerAlpha = options.lossless ? 0 : quantizer;
    // 4:4:4 from Q 90 and for exact pixels, as for a still.
    const avifPixelFormat yuv = options.lossless || options.q >= 90 ? AVIF_PIXEL_FORMAT_YUV444 : AVIF_PIXEL_FORMAT_YUV420;
    const auto* pixels = static_cast<const std::uint8_t*>(vips_image_get_data(im.get_image()));
    const std::size_t row = static_cast<std::size_t>(width) * static_cast<std::size_t>(bands);
    for (int i = 0; i < frames; ++i) {
        ImagePtr image(avifImageCreate(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(page), 8, yuv));
        if (!image) return std::nullopt;
        image->colorPrimaries = AVIF_COLOR_PRIMARIES_BT709;
        image->transferCharacteristics = AVIF_TRANSFER_CHARACTERISTICS_SRGB;
        // Exact RGB needs no YUV matrix at all.
        image->matrixCoefficients = options.lossless ? AVIF_MATRIX_COEFFICIENTS_IDENTITY : AVIF_MATRIX_COEFFICIENTS_BT601;
        image->yuvRange = AVIF_RANGE_FULL;
        if (i == 0) {
            if (!metadata.exif.empty()) avifImageSetMetadataExif(image.get(), metadata.exif.data(), metadata.exif.size());
            if (!metadata.xmp.empty())
                avifImageSetMetadataXMP(image.get(), reinterpret_cast<const std::uint8_t*>(metadata.xmp.data()),
                                        metadata.xmp.size());
            // The pixels are upright already: an orientation in the EXIF must not turn them again.
            image->transformFlags = AVIF_TRANSFORM_NONE;
        }
        avifRGBImage rgb;
        avifRGBImageSetDefaults(&rgb, image.get());
        rgb.format = bands == 4 ? AVIF_RGB_FORMAT_RGBA : AVIF_RGB_FORMAT_RGB;
        rgb.depth = 8;
        rgb.pixels = const_cast<std::uint8_t*>(pixels + static_cast<std::size_t>(i) * static_cast<std::size_t>(page) * row);
        rgb.rowBytes = static_cast<std::uint32_t>(row);
        if (avifImageRGBToYUV(image.get(), &rgb) != AVIF_RESULT_OK) return std::nullopt;
        const int delay = std::max(1, timing.delayOf(i));
        if (avifEncoderAddImage(encoder.get(), image.get(), static_cast<std::uint64_t>(delay), AVIF_ADD_IMAGE_FLAG_NONE) !=
            AVIF_RESULT_OK)
            return std::nullopt;
    }
    avifRWData output = AVIF_DATA_EMPTY;
    if (avifEncoderFinish(encoder.get(), &output) != AVIF_RESULT_OK) {
        avifRWDataFree(&output);
        return std::nullopt;
    }
    Blob file(output.data, output.data + output.size);
    avifRWDataFree(&output);
    return file;
}

}  // namespace krumple::avif
