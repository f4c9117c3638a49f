#include "avif_frames.h"
#include "heif_writer.h"
#include "image_io.h"

namespace krumple {
namespace {

// aom at speed 6, what heifsave passed for our effort 3: 0.3 times the CPU
// of libvips' default (speed 5) for the same bytes; speed 7 writes more
// (bench/README.md). Nothing else differs from heifsave's defaults.
const heif::Parameters aomSettings{{"speed", "6"}};

class AvifEncoder final : public Encoder {
public:
    void encode(const vips::VImage& image, const MetadataBlocks& metadata, const EncodeOptions& options,
                EncodeTarget& out) const override {
        // libheif 1.15 writes no sequence: an animation goes through libavif.
        if (stackedFrames(image) > 1) {
            const auto file = avif::animationFrom(image, metadata, options);
            if (!file) throw vips::VError("AVIF sequence");
            return out.write(*file);
        }
        heif::write(image, metadata, options, heif::Codec::av1, aomSettings, out);
    }
};

}  // namespace

const Encoder& avifEncoder() {
    static const AvifEncoder encoder;
    return encoder;
}

}  // namespace krumple
