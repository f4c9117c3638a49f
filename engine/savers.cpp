#include "savers.h"

#include <algorithm>
#include <cmath>

namespace krumple::savers {

namespace {
using vips::VImage;

// Speed settings for a batch tool; the figures behind them are in bench/README.md.
constexpr int avifEffort = 2;  // aom speed 7: ~5x faster than libvips' default for ~3% more bytes
constexpr int jxlEffort = 7;   // libjxl's default; 8 and up cost several times the time
constexpr int webpEffort = 4;  // libwebp's default method
constexpr int pngCompression = 6;

Blob takeBlob(VipsBlob* blob) {
    const auto* area = reinterpret_cast<VipsArea*>(blob);
    const auto* bytes = static_cast<const std::uint8_t*>(area->data);
    Blob out(bytes, bytes + area->length);
    vips_area_unref(reinterpret_cast<VipsArea*>(blob));
    return out;
}

vips::VOption* lossy(std::optional<double> quality) {
    auto* o = VImage::option();
    if (quality) o->set("Q", vipsQ(*quality));
    return o;
}
}  // namespace

int vipsQ(double quality) {
    if (!std::isfinite(quality)) quality = 0.8;
    return std::clamp(static_cast<int>(std::lround(quality * 100.0)), 1, 100);
}

// One place that knows each saver's options; `sink` is the buffer or target flavour.
template <typename Sink>
void encodeInto(std::string_view t, std::optional<double> quality, Sink&& sink) {
    if (t == "public.jpeg")
        sink.jpeg(lossy(quality));
    else if (t == "public.png")
        sink.png(VImage::option()->set("compression", pngCompression));
    else if (t == "org.webmproject.webp")
        sink.webp(lossy(quality)->set("effort", webpEffort));
    else if (t == "public.heic")
        sink.heif(lossy(quality)->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_HEVC));
    else if (t == "public.avif")
        sink.heif(lossy(quality)
                      ->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_AV1)
                      ->set("effort", avifEffort));
    else if (t == "public.jxl")
        sink.jxl(lossy(quality)->set("effort", jxlEffort));
    else
        throw vips::VError("unknown output type");
}

Blob encode(const VImage& image, std::string_view t, std::optional<double> quality) {
    struct {
        const VImage& im;
        Blob out;
        void jpeg(vips::VOption* o) { out = takeBlob(im.jpegsave_buffer(o)); }
        void png(vips::VOption* o) { out = takeBlob(im.pngsave_buffer(o)); }
        void webp(vips::VOption* o) { out = takeBlob(im.webpsave_buffer(o)); }
        void heif(vips::VOption* o) { out = takeBlob(im.heifsave_buffer(o)); }
        void jxl(vips::VOption* o) { out = takeBlob(im.jxlsave_buffer(o)); }
    } sink{image, {}};
    encodeInto(t, quality, sink);
    return std::move(sink.out);
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
    encodeInto(t, quality, sink);
}

}  // namespace krumple::savers
