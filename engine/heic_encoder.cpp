#include "encoder.h"

namespace krumple {
namespace {

// heifsave with x265. libvips 8.14 passes x265 no speed setting: it runs at
// preset "slow" (bench/README.md, "HEIC and AVIF through libheif").
class HeicEncoder final : public Encoder {
public:
    void encode(const vips::VImage& image, const MetadataBlocks& metadata, const EncodeOptions& options,
                EncodeTarget& out) const override {
        const vips::VImage im = withMetadata(image, metadata);
        out.stream([&](const vips::VTarget& t) {
            im.heifsave_target(t, vips::VImage::option()
                                      ->set("Q", options.q)
                                      ->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_HEVC));
        });
    }
};

}  // namespace

const Encoder& heicEncoder() {
    static const HeicEncoder encoder;
    return encoder;
}

}  // namespace krumple
