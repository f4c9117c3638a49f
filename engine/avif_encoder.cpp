#include "encoder.h"

namespace krumple {
namespace {

// aom at effort 3 (speed 6) is 0.3 times the CPU of libvips' default for the
// same bytes; effort 2 writes more (bench/README.md).
constexpr int avifEffort = 3;

class AvifEncoder final : public Encoder {
public:
    void encode(const vips::VImage& image, const MetadataBlocks& metadata, const EncodeOptions& options,
                EncodeTarget& out) const override {
        const vips::VImage im = withMetadata(image, metadata);
        out.stream([&](const vips::VTarget& t) {
            im.heifsave_target(t, vips::VImage::option()
                                      ->set("Q", options.q)
                                      ->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_AV1)
                                      ->set("effort", avifEffort));
        });
    }
};

}  // namespace

const Encoder& avifEncoder() {
    static const AvifEncoder encoder;
    return encoder;
}

}  // namespace krumple
