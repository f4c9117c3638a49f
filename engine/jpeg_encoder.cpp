#include "encoder.h"

namespace krumple {
namespace {

// libjpeg through jpegsave. optimize_coding would hold every DCT coefficient
// of the picture in memory for a few per cent of bytes (bench/README.md).
class JpegEncoder final : public Encoder {
public:
    void encode(const vips::VImage& image, const MetadataBlocks& metadata, const EncodeOptions& options,
                EncodeTarget& out) const override {
        const vips::VImage im = withMetadata(image, metadata);
        out.stream([&](const vips::VTarget& t) { im.jpegsave_target(t, vips::VImage::option()->set("Q", options.q)); });
    }
};

}  // namespace

const Encoder& jpegEncoder() {
    static const JpegEncoder encoder;
    return encoder;
}

}  // namespace krumple
