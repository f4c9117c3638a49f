// How our quality becomes each lossy saver's Q, and what that does to real
// files: the same quality should cost about the same look in every format.

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "converter.h"
#include "fixtures.h"
#include "savers.h"

namespace krumple {
namespace {

using namespace krumple::test;
using vips::VImage;

constexpr std::array<OutputFormat, 5> lossyFormats{OutputFormat::heic, OutputFormat::jpeg, OutputFormat::avif,
                                                   OutputFormat::jxl, OutputFormat::webp};

TEST(QualityMapping, EachSaverRisesWithQualityToItsBest) {
    for (const OutputFormat format : lossyFormats) {
        SCOPED_TRACE(formatName(format));
        const std::string_view type = format.typeIdentifier();
        int previous = 0;
        for (int step = 0; step <= 1000; ++step) {
            const double quality = step / 1000.0;
            const int q = savers::vipsQ(type, quality);
            ASSERT_GE(q, previous) << "quality " << quality;
            ASSERT_LE(q, 100) << "quality " << quality;
            previous = q;
        }
        EXPECT_EQ(savers::vipsQ(type, 1.0), 100);
        EXPECT_LT(savers::vipsQ(type, 0.05), savers::vipsQ(type, 0.95));
    }
    // JPEG is the scale users know; it keeps it.
    for (int percent = 5; percent <= 100; ++percent)
        EXPECT_EQ(savers::vipsQ(OutputFormat(OutputFormat::jpeg).typeIdentifier(), percent / 100.0), percent);
}

// Something like a photo: soft colour shapes with a little sensor grain,
// the same every run.
VImage photoLike(int width, int height) {
    initImageLibrary();
    const auto noise = [&](double mean, double sigma, int seed) {
        return VImage::gaussnoise(width, height,
                                  VImage::option()->set("mean", mean)->set("sigma", sigma)->set("seed", seed));
    };
    std::vector<VImage> bands;
    for (int i = 0; i < 3; ++i) {
        const VImage shapes = noise(128.0, 60.0, 1 + i).gaussblur(2.0);
        const VImage grain = noise(0.0, 3.0, 11 + i);
        bands.push_back(shapes + grain);
    }
    return VImage::bandjoin(bands)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

class MatchedQuality : public ::testing::Test {
protected:
    void SetUp() override {
        src = dir / "photo.png";
        save(photoLike(256, 192), src);
    }

    struct Output {
        std::int64_t bytes = 0;
        double rmsError = 0;  // per channel, against the source, as the format's own decoder reads it
    };
    std::optional<Output> convert(OutputFormat format, double quality) {
        const fs::path dst = dir / (std::string(formatName(format)) + std::to_string(quality) + "." +
                                    std::string(format.fileExtension()));
        const auto bytes = Converter::convert(src, dst, ConvertSettings{format, quality, {}, false});
        if (!bytes) {
            ADD_FAILURE() << formatName(format) << ": " << description(bytes.error());
            return std::nullopt;
        }
        const auto decoded = decodeIndependently(dst, dir.path());
        if (!decoded) return std::nullopt;
        const VImage source = VImage::new_from_file(src.c_str());
        const VImage diff = decoded->image.extract_band(0, VImage::option()->set("n", 3)).cast(VIPS_FORMAT_DOUBLE) -
                            source.cast(VIPS_FORMAT_DOUBLE);
        return Output{*bytes, std::sqrt((diff * diff).avg())};
    }

    ScratchDir dir;
    fs::path src;
};

TEST_F(MatchedQuality, AtTheDefaultNoFormatIsMuchBiggerOrWorseThanJpeg) {
    const auto jpeg = convert(OutputFormat::jpeg, 0.8);
    ASSERT_TRUE(jpeg);
    for (const OutputFormat format : {OutputFormat::heic, OutputFormat::avif, OutputFormat::jxl, OutputFormat::webp}) {
        SCOPED_TRACE(formatName(format));
        const auto out = convert(format, 0.8);
        ASSERT_TRUE(out);
        // Matched, they come out at 0.45–0.75 × JPEG's bytes with about its
        // error; straight Q 80 made HEIC 4 × JPEG's size.
        EXPECT_LE(out->bytes, jpeg->bytes * 3 / 2) << "JPEG: " << jpeg->bytes << " bytes";
        EXPECT_LE(out->rmsError, jpeg->rmsError * 1.4) << "JPEG: " << jpeg->rmsError;
    }
}

// Catches a Q a saver cannot take: jxlsave quietly encodes Q 1–4 at its default.
TEST_F(MatchedQuality, TheLowestQualityWritesTheSmallestFiles) {
    for (const OutputFormat format : lossyFormats) {
        SCOPED_TRACE(formatName(format));
        const auto lowest = convert(format, 0.0);
        const auto low = convert(format, 0.3);
        ASSERT_TRUE(lowest && low);
        EXPECT_LE(lowest->bytes, low->bytes);
    }
}

}  // namespace
}  // namespace krumple
