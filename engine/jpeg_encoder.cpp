#include "encoder.h"
#include "jpeg_segments.h"

namespace krumple {
namespace {

// libjpeg through jpegsave. optimize_coding would hold every DCT coefficient
// of the picture in memory for a few per cent of bytes (bench/README.md).
class JpegEncoder final : public Encoder {
public:
    void encode(const vips::VImage& image, const MetadataBlocks& metadata, const EncodeOptions& options,
                EncodeTarget& out) const override {
        const vips::VImage im = withMetadata(image, metadata);
        if (!metadata.exif.empty())
            return out.stream(
                [&](const vips::VTarget& t) { im.jpegsave_target(t, vips::VImage::option()->set("Q", options.q)); });
        // jpegsave makes up an EXIF block when there is none, and its strip
        // would drop the colour profile too: the block is cut out afterwards.
        const Blob file = takeBlob(im.jpegsave_buffer(vips::VImage::option()->set("Q", options.q)));
        const auto stripped = jpeg::withoutSegments(file, jpeg::isExif);
        if (!stripped) throw vips::VError("JPEG without its head");
        out.write(*stripped);
    }
};

}  // namespace

const Encoder& jpegEncoder() {
    static const JpegEncoder encoder;
    return encoder;
}

}  // namespace krumple
