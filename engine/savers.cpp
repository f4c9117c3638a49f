#include "savers.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace krumple::savers {

namespace {
using vips::VImage;

// Speed settings for a batch tool; the figures behind them are in bench/README.md.
constexpr int avifEffort = 3;  // ~0.3x the time of libvips' default (4) for the same bytes; 2 writes more
constexpr int jxlEffort = 5;   // ~0.8x the time of libjxl's default (7) for the same bytes
constexpr int webpEffort = 4;  // libwebp's default method; 6 costs 2.3x for 5% fewer bytes
// libvips 8.14 filters no PNG rows by default; with every filter tried,
// zlib level 2 writes 15-28% smaller files than level 6 in about the same time.
constexpr int pngCompression = 2;

// Each lossy saver's Q at these points of our quality scale: the Q whose mean
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

const QTable* calibrated(std::string_view t) {
    if (t == "org.webmproject.webp") return &webpQ;
    if (t == "public.heic") return &heicQ;
    if (t == "public.avif") return &avifQ;
    if (t == "public.jxl") return &jxlQ;
    return nullptr;
}

int interpolated(const QTable& table, double quality) {
    if (quality <= calibratedQualities.front()) return table.front();
    if (quality >= calibratedQualities.back()) return table.back();
    const auto above = std::upper_bound(calibratedQualities.begin(), calibratedQualities.end(), quality);
    const auto i = static_cast<std::size_t>(above - calibratedQualities.begin());
    const double t = (quality - calibratedQualities[i - 1]) / (calibratedQualities[i] - calibratedQualities[i - 1]);
    return static_cast<int>(std::lround(table[i - 1] + t * (table[i] - table[i - 1])));
}

Blob takeBlob(VipsBlob* blob) {
    const auto* area = reinterpret_cast<VipsArea*>(blob);
    const auto* bytes = static_cast<const std::uint8_t*>(area->data);
    Blob out(bytes, bytes + area->length);
    vips_area_unref(reinterpret_cast<VipsArea*>(blob));
    return out;
}

vips::VOption* lossy(std::optional<int> q) {
    auto* o = VImage::option();
    if (q) o->set("Q", *q);
    return o;
}

std::optional<int> mappedQ(std::string_view t, std::optional<double> quality) {
    if (!quality) return std::nullopt;
    return vipsQ(t, *quality);
}
}  // namespace

int vipsQ(std::string_view typeIdentifier, double quality) {
    if (!std::isfinite(quality)) quality = 0.8;
    if (const QTable* table = calibrated(typeIdentifier)) return interpolated(*table, quality);
    return std::clamp(static_cast<int>(std::lround(quality * 100.0)), 1, 100);
}

// One place that knows each saver's options; `sink` is the buffer or target flavour.
// `q` is already on the saver's own scale.
template <typename Sink>
void encodeInto(std::string_view t, std::optional<int> q, Sink&& sink) {
    if (t == "public.jpeg")
        sink.jpeg(lossy(q));
    else if (t == "public.png")
        sink.png(VImage::option()->set("compression", pngCompression)->set("filter", VIPS_FOREIGN_PNG_FILTER_ALL));
    else if (t == "org.webmproject.webp")
        sink.webp(lossy(q)->set("effort", webpEffort));
    else if (t == "public.heic")
        sink.heif(lossy(q)->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_HEVC));
    else if (t == "public.avif")
        sink.heif(lossy(q)
                      ->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_AV1)
                      ->set("effort", avifEffort));
    else if (t == "public.jxl")
        sink.jxl(lossy(q)->set("effort", jxlEffort));
    else
        throw vips::VError("unknown output type");
}

Blob encodeAtVipsQ(const VImage& image, std::string_view t, std::optional<int> q) {
    struct {
        const VImage& im;
        Blob out;
        void jpeg(vips::VOption* o) { out = takeBlob(im.jpegsave_buffer(o)); }
        void png(vips::VOption* o) { out = takeBlob(im.pngsave_buffer(o)); }
        void webp(vips::VOption* o) { out = takeBlob(im.webpsave_buffer(o)); }
        void heif(vips::VOption* o) { out = takeBlob(im.heifsave_buffer(o)); }
        void jxl(vips::VOption* o) { out = takeBlob(im.jxlsave_buffer(o)); }
    } sink{image, {}};
    encodeInto(t, q, sink);
    return std::move(sink.out);
}

Blob encode(const VImage& image, std::string_view t, std::optional<double> quality) {
    return encodeAtVipsQ(image, t, mappedQ(t, quality));
}

void encode(const VImage& image, std::string_view t, std::optional<double> quality,
            const vips::VTarget& target) {
    struct {
        const VImage& im;
        const vips::VTarget& tg;
        void jpeg(vips::VOption* o) { im.jpegsave_target(tg, o); }
        void png(vips::VOption* o) { im.pngsave_target(tg, o); }
        void webp(vips::VOption* o) { im.webpsave_target(tg, o); }
        void heif(vips::VOption* o) { im.heifsave_target(tg, o); }
        void jxl(vips::VOption* o) { im.jxlsave_target(tg, o); }
    } sink{image, target};
    encodeInto(t, mappedQ(t, quality), sink);
}

}  // namespace krumple::savers
