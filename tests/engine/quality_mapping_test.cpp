// What our quality does to real files: the same quality should cost about the
// same look in every lossy format, and lower quality fewer bytes.

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fixtures.h"

namespace krumple::test {
namespace {

using vips::VImage;

// Something like a photo: soft colour shapes with a little sensor grain,
// the same every run.
VImage photoLike(int width, int height) {
    const auto noise = [&](double mean, double sigma, int seed) {
        return VImage::gaussnoise(width, height, VImage::option()->set("mean", mean)->set("sigma", sigma)->set("seed", seed));
    };
    std::vector<VImage> bands;
    for (int i = 0; i < 3; ++i) bands.push_back(noise(128.0, 60.0, 1 + i).gaussblur(2.0) + noise(0.0, 3.0, 11 + i));
    return VImage::bandjoin(bands).cast(VIPS_FORMAT_UCHAR).copy(
        VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

class MatchedQuality : public ::testing::Test {
protected:
    void SetUp() override { save(photoLike(256, 192), src); }

    struct Output {
        std::int64_t bytes = 0;
        double rmsError = 0;  // per channel, against the source, as the format's own decoder reads it
    };
    std::optional<Output> convert(OutputFormat format, double quality) {
        const fs::path dst = outputName(dir.path(), "q" + std::to_string(quality), format);
        if (!converted(src, dst, ConvertSettings{format, quality, {}, false})) {
            ADD_FAILURE() << format.rawValue() << " at " << quality << " did not convert";
            return std::nullopt;
        }
        const auto decoded = decodeIndependently(dst, dir.path());
        if (!decoded) return std::nullopt;
        const VImage source = VImage::new_from_file(src.c_str());
        const VImage diff = decoded->image.extract_band(0, VImage::option()->set("n", 3)).cast(VIPS_FORMAT_DOUBLE) -
                            source.cast(VIPS_FORMAT_DOUBLE);
        return Output{static_cast<std::int64_t>(fs::file_size(dst)), std::sqrt((diff * diff).avg())};
    }

    TempDir dir;
    fs::path src = dir / "photo.png";
};

TEST_F(MatchedQuality, AtTheDefaultNoFormatIsMuchBiggerOrWorseThanJpeg) {
    const auto jpeg = convert(OutputFormat::jpeg, 0.8);
    ASSERT_TRUE(jpeg);
    for (const OutputFormat format : {OutputFormat::heic, OutputFormat::avif, OutputFormat::jxl, OutputFormat::webp}) {
        SCOPED_TRACE(format.rawValue());
        const auto out = convert(format, 0.8);
        ASSERT_TRUE(out);
        // Matched, they come out at 0.45–0.75 × JPEG's bytes with about its
        // error; straight Q 80 made HEIC 4 × JPEG's size.
        EXPECT_LE(out->bytes, jpeg->bytes * 3 / 2) << "JPEG: " << jpeg->bytes << " bytes";
        EXPECT_LE(out->rmsError, jpeg->rmsError * 1.4) << "JPEG: " << jpeg->rmsError;
    }
}

// The lowest quality catches a Q a saver cannot take: jxlsave quietly
// encodes Q 1-4 at its default.
TEST_F(MatchedQuality, LowerQualityWritesFewerBytes) {
    for (const OutputFormat format : {OutputFormat::heic, OutputFormat::jpeg, OutputFormat::avif, OutputFormat::jxl,
                                      OutputFormat::webp}) {
        SCOPED_TRACE(format.rawValue());
        const auto lowest = convert(format, 0.0), low = convert(format, 0.3), high = convert(format, 0.95);
        ASSERT_TRUE(lowest && low && high);
        EXPECT_LE(lowest->bytes, low->bytes);
        EXPECT_LT(low->bytes * 5 / 4, high->bytes);
    }
}

}  // namespace
}  // namespace krumple::test
