#include "encoder.h"
#include "jpeg_segments.h"

namespace krumple {
namespace {

// libjpeg through jpegsave, progressive with Huffman tables made for the
// picture: the same pixels in about 9 % fewer bytes, for holding every DCT
// coefficient in memory (bench/README.md, "PNG and JPEG bytes").
vips::VOption* jpegOptions(int q) {
    return vips::VImage::option()->set("Q", q)->set("interlace", true)->set("optimize_coding", true);
}

class JpegEncoder final : public Encoder {
public:
    void encode(const vips::VImage& image, const MetadataBlocks& metadata, const EncodeOptions& options,
                EncodeTarget& out) const override {
        const vips::VImage im = withMetadata(image, metadata);
        if (!metadata.exif.empty())
            return out.stream(
                [&](const vips::VTarget& t) { im.jpegsave_target(t, jpegOptions(options.q)); });
        // jpegsave makes up an EXIF block when there is none, and its strip
        // would drop the colour profile too: the block is cut out afterwards.
        const Blob file = takeBlob(im.jpegsave_buffer(jpegOptions(options.q)));
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
