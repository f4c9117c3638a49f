#include "apng.h"
#include "encoder.h"
#include "image_io.h"

namespace krumple {
namespace {
using vips::VImage;

// libvips 8.14 filters no rows by default, and filtering is what makes photos
// compress: with every filter, zlib level 2 writes 15–28 % smaller files than
// level 6 in about the same time (bench/README.md).
vips::VOption* pngOptions() {
    return VImage::option()->set("compression", 2)->set("filter", VIPS_FOREIGN_PNG_FILTER_ALL);
}

// libpng drops a profile it finds fault with (a D65 illuminant in its
// header, say) without failing, and the pixels are then read as sRGB. A tiny
// encode with the same profile tells; if it goes, the pixels go to sRGB.
VImage withProfilePngKeeps(const VImage& image) {
    if (image.get_typeof(VIPS_META_ICC_NAME) == 0) return image;
    std::size_t size = 0;
    const void* icc = image.get_blob(VIPS_META_ICC_NAME, &size);
    VImage probe = VImage::black(1, 1, VImage::option()->set("bands", image.bands()))
                       .cast(image.format())
                       .copy(VImage::option()->set("interpretation", image.interpretation()));
    vips_image_set_blob_copy(probe.get_image(), VIPS_META_ICC_NAME, icc, size);
    VipsBlob* png = probe.pngsave_buffer(pngOptions());
    const auto* area = reinterpret_cast<VipsArea*>(png);
    const bool kept = VImage::new_from_buffer(area->data, area->length, "").get_typeof(VIPS_META_ICC_NAME) != 0;
    vips_area_unref(reinterpret_cast<VipsArea*>(png));
    if (kept) return image;
    try {
        const bool deep = image.format() == VIPS_FORMAT_USHORT;
        return image.icc_transform("srgb", VImage::option()
                                               ->set("embedded", true)
                                               ->set("intent", VIPS_INTENT_RELATIVE)
                                               ->set("depth", deep ? 16 : 8));
    } catch (const vips::VError&) {
        vips_error_clear();
        return image;  // a profile lcms can't use either: written as before, without it
    }
}

class PngEncoder final : public Encoder {
public:
    void encode(const VImage& image, const MetadataBlocks& metadata, const EncodeOptions&,
                EncodeTarget& out) const override {
        const VImage im = withMetadata(withProfilePngKeeps(image), metadata);
        if (stackedFrames(im) > 1) {
            const auto animation = apng::animationFrom(
                im, [](const VImage& frame, bool) { return takeBlob(frame.pngsave_buffer(pngOptions())); });
            if (!animation) throw vips::VError("APNG frames");
            return out.write(*animation);
        }
        out.stream([&](const vips::VTarget& t) {
            im.pngsave_target(t, pngOptions());
        });
    }
};

}  // namespace

const Encoder& pngEncoder() {
    static const PngEncoder encoder;
    return encoder;
}

}  // namespace krumple
