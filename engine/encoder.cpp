#include "encoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "metadata_blocks.h"

namespace krumple {

namespace {
using vips::VImage;

// Each lossy codec's Q at these points of our quality scale: the Q whose mean
// SSIM on photos matches JPEG's at quality × 100 (krumple-bench-quality; the
// figures are in bench/README.md). Straight lines in between. Without this,
// HEIC at 0.8 came out near-lossless and bigger than the JPEG it came from.
constexpr std::array<double, 12> calibratedQualities{0.05, 0.1, 0.2, 0.3, 0.4, 0.5,
                                                     0.6,  0.7, 0.8, 0.9, 0.95, 1.0};
using QTable = std::array<int, calibratedQualities.size()>;
constexpr QTable webpQ{1, 1, 14, 28, 39, 49, 60, 74, 81, 90, 97, 100};
constexpr QTable heicQ{1, 8, 22, 28, 31, 34, 36, 39, 44, 53, 62, 100};
constexpr QTable avifQ{1, 11, 30, 38, 43, 47, 51, 56, 63, 81, 92, 100};
// Never below 5: jxlsave turns Q 4 and below into a distance libjxl refuses,
// and libjxl then quietly encodes at its default (about Q 90).
constexpr QTable jxlQ{5, 5, 13, 24, 45, 56, 64, 71, 79, 89, 94, 100};

int interpolated(const QTable& table, double quality) {
    if (quality <= calibratedQualities.front()) return table.front();
    if (quality >= calibratedQualities.back()) return table.back();
    const auto above = std::upper_bound(calibratedQualities.begin(), calibratedQualities.end(), quality);
    const auto i = static_cast<std::size_t>(above - calibratedQualities.begin());
    const double t = (quality - calibratedQualities[i - 1]) / (calibratedQualities[i] - calibratedQualities[i - 1]);
    return static_cast<int>(std::lround(table[i - 1] + t * (table[i] - table[i - 1])));
}

int codecQ(OutputFormat format, double quality) {
    if (!std::isfinite(quality)) quality = 0.8;
    switch (format) {
    case OutputFormat::webp: return interpolated(webpQ, quality);
    case OutputFormat::heic: return interpolated(heicQ, quality);
    case OutputFormat::avif: return interpolated(avifQ, quality);
    case OutputFormat::jxl: return interpolated(jxlQ, quality);
    case OutputFormat::jpeg:
    case OutputFormat::png: break;
    }
    return std::clamp(static_cast<int>(std::lround(quality * 100.0)), 1, 100);
}

class MemoryTarget : public EncodeTarget {
public:
    void stream(const std::function<void(const vips::VTarget&)>& save) override {
        const vips::VTarget target = vips::VTarget::new_to_memory();
        save(target);
        // A memory target hands its bytes over as a VipsBlob, with a reference for us.
        VipsBlob* blob = nullptr;
        g_object_get(target.get_target(), "blob", &blob, nullptr);
        if (!blob) throw vips::VError("no output");
        const auto* area = reinterpret_cast<VipsArea*>(blob);
        const auto* data = static_cast<const std::uint8_t*>(area->data);
        out.assign(data, data + area->length);
        vips_area_unref(reinterpret_cast<VipsArea*>(blob));
    }
    void write(const Blob& bytes) override { out = bytes; }
    Blob out;
};

// libvips rebuilds EXIF from per-tag fields on save, and drops every tag
// without one. Let its own loader make those fields from our block.
void attachExif(VImage& out, const Blob& tiff) {
    static const Blob tinyJpeg = takeBlob(VImage::black(1, 1).jpegsave_buffer(VImage::option()->set("strip", true)));
    const Blob app1 = exif::withPrefix(tiff);
    if (app1.size() + 2 > 0xFFFF) return;  // cannot travel in one JPEG segment
    Blob carrier{0xFF, 0xD8, 0xFF, 0xE1, static_cast<std::uint8_t>((app1.size() + 2) >> 8),
                 static_cast<std::uint8_t>((app1.size() + 2) & 0xFF)};
    carrier.insert(carrier.end(), app1.begin(), app1.end());
    carrier.insert(carrier.end(), tinyJpeg.begin() + 2, tinyJpeg.end());
    const VImage parsed = VImage::new_from_buffer(carrier.data(), carrier.size(), "");
    char** fields = vips_image_get_fields(parsed.get_image());
    for (char** f = fields; *f; ++f) {
        const std::string_view name(*f);
        if (name.starts_with("exif-ifd") && !name.ends_with("-Orientation"))
            out.set(*f, parsed.get_string(*f));
    }
    g_strfreev(fields);
    vips_image_set_blob_copy(out.get_image(), VIPS_META_EXIF_NAME, app1.data(), app1.size());
}
}  // namespace

EncodeOptions optionsFor(OutputFormat format, double quality) {
    EncodeOptions options;
    options.q = codecQ(format, quality);
    options.lossless = format.isLosslessAt(quality);
    return options;
}

const Encoder& encoderFor(OutputFormat format) {
    switch (format) {
    case OutputFormat::heic: return heicEncoder();
    case OutputFormat::jpeg: return jpegEncoder();
    case OutputFormat::png: return pngEncoder();
    case OutputFormat::avif: return avifEncoder();
    case OutputFormat::jxl: return jxlEncoder();
    case OutputFormat::webp: break;
    }
    return webpEncoder();
}

Blob encodeToMemory(const VImage& image, OutputFormat format, const EncodeOptions& options,
                    const MetadataBlocks& metadata) {
    MemoryTarget target;
    encoderFor(format).encode(image, metadata, options, target);
    return std::move(target.out);
}

VImage withoutGreyProfile(const VImage& image) {
    if (image.bands() > 2 || image.get_typeof(VIPS_META_ICC_NAME) == 0) return image;
    std::size_t size = 0;
    const auto* icc = static_cast<const std::uint8_t*>(image.get_blob(VIPS_META_ICC_NAME, &size));
    if (size < 20 || std::memcmp(icc + 16, "GRAY", 4) != 0) return image;
    try {
        const int depth = image.format() == VIPS_FORMAT_USHORT ? 16 : 8;
        return image.icc_transform("srgb", VImage::option()->set("embedded", true)->set("depth", depth));
    } catch (const vips::VError&) {
        vips_error_clear();
        VImage bare = image.copy();
        bare.remove(VIPS_META_ICC_NAME);
        return bare;
    }
}

Blob takeBlob(VipsBlob* blob) {
    auto* area = reinterpret_cast<VipsArea*>(blob);
    const auto* bytes = static_cast<const std::uint8_t*>(area->data);
    Blob out(bytes, bytes + area->length);
    vips_area_unref(area);
    return out;
}

VImage withMetadata(const VImage& image, const MetadataBlocks& metadata) {
    VImage out = image.copy();
    if (!metadata.exif.empty()) attachExif(out, metadata.exif);
    if (!metadata.xmp.empty())
        vips_image_set_blob_copy(out.get_image(), VIPS_META_XMP_NAME, metadata.xmp.data(), metadata.xmp.size());
    if (!metadata.iptc.empty())
        vips_image_set_blob_copy(out.get_image(), VIPS_META_IPTC_NAME, metadata.iptc.data(), metadata.iptc.size());
    out.set(VIPS_META_ORIENTATION, 1);
    return out;
}

}  // namespace krumple
