#include "encoder.h"
#include "image_io.h"
#include "jxl_frames.h"
#include "jxl_transcode.h"
#include "metadata_blocks.h"

namespace krumple {
namespace {

// libjxl at effort 5: 0.8 times the CPU of its default (7) for the same bytes.
constexpr int jxlEffort = 5;

class JxlEncoder final : public Encoder {
public:
    void encode(const vips::VImage& image, const MetadataBlocks& metadata, const EncodeOptions& options,
                EncodeTarget& out) const override {
        if (options.lossless && options.jpeg) {
            // Otherwise (libjxl refuses some JPEGs) the decoded pixels, still exact.
            if (auto file = jxl::fromJpeg(*options.jpeg, options.stripMetadata, options.jpegOrientation)) return out.write(*file);
        }
        std::optional<Blob> animation;
        if (stackedFrames(image) > 1 && !(animation = jxl::animationFrom(image, options.q, options.lossless)))
            throw vips::VError("JPEG XL animation");
        // Options are made only for the call that takes them: an unused VOption leaks.
        const auto stillOptions = [&options] {
            auto saverOptions = vips::VImage::option()->set("effort", jxlEffort);
            return options.lossless ? saverOptions->set("lossless", true) : saverOptions->set("Q", options.q);
        };
        const Blob codestream = animation ? std::move(*animation) : takeBlob(image.jxlsave_buffer(stillOptions()));
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
