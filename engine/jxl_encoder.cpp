#include "encoder.h"
#include "metadata_blocks.h"

namespace krumple {
namespace {

// libjxl at effort 5: 0.8 times the CPU of its default (7) for the same bytes.
constexpr int jxlEffort = 5;

class JxlEncoder final : public Encoder {
public:
    void encode(const vips::VImage& image, const MetadataBlocks& metadata, const EncodeOptions& options,
                EncodeTarget& out) const override {
        VipsBlob* blob = image.jxlsave_buffer(vips::VImage::option()->set("Q", options.q)->set("effort", jxlEffort));
        const auto* area = reinterpret_cast<VipsArea*>(blob);
        const auto* bytes = static_cast<const std::uint8_t*>(area->data);
        const Blob codestream(bytes, bytes + area->length);
        vips_area_unref(reinterpret_cast<VipsArea*>(blob));
        // libvips writes neither EXIF nor XMP into JPEG XL: add the boxes ourselves.
        if (metadata.exif.empty() && metadata.xmp.empty()) return out.write(codestream);
        const auto file = jxl::withMetadataBoxes(codestream, metadata.exif.empty() ? nullptr : &metadata.exif,
                                                 metadata.xmp.empty() ? nullptr : &metadata.xmp);
        if (!file) throw vips::VError("JPEG XL container");
        out.write(*file);
    }
};

}  // namespace

const Encoder& jxlEncoder() {
    static const JxlEncoder encoder;
    return encoder;
}

}  // namespace krumple
