#include "heif_writer.h"

namespace krumple {
namespace {

// x265 through libheif rather than heifsave, which leaves x265 at preset
// "slow". These settings match heifsave's Butteraugli at Q 44 for 0.4 × the
// CPU (bench/README.md, "HEIC and AVIF through libheif"): ultrafast's 16 px
// smallest CU is where the time goes, and its other cuts are undone.
const heif::Parameters x265Settings{
    {"preset", "ultrafast"},      {"tune", "ssim"},          {"x265:signhide", "1"},
    {"x265:sao", "1"},            {"x265:rdoq-level", "2"},  {"x265:wpp", "0"},
    {"tu-intra-depth", "3"},      {"x265:cbqpoffs", "-2"},   {"x265:crqpoffs", "-2"},
    {"x265:aq-strength", "0.8"},
};

class HeicEncoder final : public Encoder {
public:
    void encode(const vips::VImage& image, const MetadataBlocks& metadata, const EncodeOptions& options,
                EncodeTarget& out) const override {
        heif::write(image, metadata, options, heif::Codec::hevc, x265Settings, out);
    }
};

}  // namespace

const Encoder& heicEncoder() {
    static const HeicEncoder encoder;
    return encoder;
}

}  // namespace krumple
