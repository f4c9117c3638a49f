// Converting one file: size limits, upright outputs that independent decoders
// read, transparency, quality, the readable source formats and re-conversion.

#include <cmath>
#include <functional>
#include <ostream>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "converter.h"
#include "fixtures.h"
#include "image_io.h"

namespace krumple {
namespace {

using namespace krumple::test;

ConvertSettings settingsFor(OutputFormat format, double quality = 0.9, std::optional<std::int64_t> maxWidth = {},
                            bool strip = false) {
    return ConvertSettings{format, quality, maxWidth, strip};
}

fs::path outputName(const fs::path& folder, std::string_view stem, OutputFormat format) {
    return folder / (std::string(stem) + "." + std::string(format.fileExtension()));
}

// Converts and checks the reported byte count against the file on disk.
::testing::AssertionResult converted(const fs::path& src, const fs::path& dst, const ConvertSettings& settings) {
    const auto result = Converter::convert(src, dst, settings);
    if (!result) return ::testing::AssertionFailure() << "failed: " << description(result.error());
    std::error_code ec;
    const auto size = fs::file_size(dst, ec);
    if (ec) return ::testing::AssertionFailure() << "no file at " << dst;
    if (*result != static_cast<std::int64_t>(size))
        return ::testing::AssertionFailure() << "reported " << *result << " bytes, file has " << size;
    return ::testing::AssertionSuccess();
}

class Converting : public ::testing::Test {
protected:
    ScratchDir dir;
};

TEST_F(Converting, WidthLimitAppliesToTheUprightWidth) {
    struct Case {
        int orientation, storedWidth, storedHeight;
        std::optional<std::int64_t> maxWidth;
        int width, height;
    };
    const std::vector<Case> cases = {
        {1, 400, 300, 200, 200, 150},
        {1, 300, 400, 200, 200, 267},    // the longer side scales with the width: 400 * 200 / 300
        {6, 400, 300, 200, 200, 267},    // stored sideways: the upright width is 300
        {8, 400, 300, 150, 150, 200},
        {1, 400, 300, 1000, 400, 300},   // never upscaled
        {1, 400, 300, 400, 400, 300},
        {6, 400, 300, std::nullopt, 300, 400},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "orientation " << c.orientation << ", " << c.storedWidth << "x"
                                          << c.storedHeight << ", maxWidth " << c.maxWidth.value_or(-1));
        const fs::path src = makeOrientedJpeg(dir / ("src" + std::to_string(++n) + ".jpg"), c.orientation,
                                              c.storedWidth, c.storedHeight);
        const fs::path dst = dir / ("out" + std::to_string(n) + ".jpg");
        ASSERT_TRUE(converted(src, dst, settingsFor(OutputFormat::jpeg, 0.9, c.maxWidth)));
        const auto out = decodeIndependently(dst, dir.path());
        ASSERT_TRUE(out);
        EXPECT_EQ(out->width(), c.width);
        EXPECT_EQ(out->height(), c.height);
        EXPECT_EQ(uprightMarkProblems([&](int x, int y) { return out->at(x, y); }, out->width(), out->height(),
                                      c.orientation, 40),
                  "");
        // The camera's pixel dimensions, when written, must be the output's.
        const auto tags = readTags(dst);
        EXPECT_EQ(tagValue(tags, "ExifImageWidth").value_or(std::to_string(c.width)), std::to_string(c.width));
        EXPECT_EQ(tagValue(tags, "ExifImageHeight").value_or(std::to_string(c.height)), std::to_string(c.height));
    }
}

// Every format, from a camera JPEG stored sideways: the output opens in the
// format's reference decoder, upright, and says it is upright.
class UprightOutput : public ::testing::TestWithParam<std::tuple<OutputFormat, int>> {
protected:
    ScratchDir dir;
};

TEST_P(UprightOutput, OpensUprightInTheReferenceDecoder) {
    const auto [format, orientation] = GetParam();
    // Odd sizes: 4:2:0 encoders must not pad or crop them.
    const fs::path src = makeOrientedJpeg(dir / "camera.jpg", orientation, 161, 121);
    const fs::path dst = outputName(dir.path(), "camera", format);
    ASSERT_TRUE(converted(src, dst, settingsFor(format)));

    const auto out = decodeIndependently(dst, dir.path());
    ASSERT_TRUE(out);
    const bool quarterTurn = orientation >= 5;
    EXPECT_EQ(out->width(), quarterTurn ? 121 : 161);
    EXPECT_EQ(out->height(), quarterTurn ? 161 : 121);
    EXPECT_EQ(uprightMarkProblems([&](int x, int y) { return out->at(x, y); }, out->width(), out->height(),
                                  orientation, 40),
              "");

    const auto tags = readTags(dst);
    const auto written = tagValue(tags, "Orientation");
    EXPECT_TRUE(!written || *written == "1") << "Orientation " << written.value_or("");
    const auto rotation = tagValue(tags, "Rotation");
    EXPECT_TRUE(!rotation || *rotation == "0") << "Rotation " << rotation.value_or("");
    // A camera's pixel dimensions, when written, must be the output's.
    EXPECT_EQ(tagValue(tags, "ExifImageWidth").value_or(std::to_string(out->width())), std::to_string(out->width()));
    EXPECT_EQ(tagValue(tags, "ExifImageHeight").value_or(std::to_string(out->height())),
              std::to_string(out->height()));
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, UprightOutput,
                         ::testing::Combine(::testing::ValuesIn(OutputFormat::allCases()), ::testing::Values(3, 6, 8)),
                         [](const auto& test) {
                             return formatName(std::get<0>(test.param)) + "_orientation" +
                                    std::to_string(std::get<1>(test.param));
                         });

// Left: fully transparent black. Middle: half-transparent red. Right: opaque blue.
fs::path makeTransparentPng(const fs::path& file) {
    save(withRect(withRect(solid(96, 32, {0, 0, 0, 0}), 32, 0, 32, 32, {255, 0, 0, 128}), 64, 0, 32, 32,
                  {0, 0, 255, 255}),
         file);
    return file;
}

TEST_F(Converting, JpegGetsWhiteWhereTheSourceWasTransparent) {
    const fs::path src = makeTransparentPng(dir / "clear.png");
    const fs::path dst = dir / "clear.jpg";
    ASSERT_TRUE(converted(src, dst, settingsFor(OutputFormat::jpeg, 0.95)));
    const auto out = decodeIndependently(dst, dir.path());
    ASSERT_TRUE(out);
    EXPECT_FALSE(out->hasAlpha());
    EXPECT_LE(colourDistance(out->at(12, 16), {255, 255, 255}), 8) << describe(out->at(12, 16));
    EXPECT_LE(colourDistance(out->at(48, 16), {255, 127, 127}), 12) << describe(out->at(48, 16));
    EXPECT_LE(colourDistance(out->at(84, 16), {0, 0, 255}), 12) << describe(out->at(84, 16));
}

class AlphaKept : public ::testing::TestWithParam<OutputFormat> {
protected:
    ScratchDir dir;
};

TEST_P(AlphaKept, TransparentStaysTransparent) {
    const OutputFormat format = GetParam();
    const fs::path src = makeTransparentPng(dir / "clear.png");
    const fs::path dst = outputName(dir.path(), "out", format);
    ASSERT_TRUE(converted(src, dst, settingsFor(format, 0.95)));
    const auto out = decodeIndependently(dst, dir.path());
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->hasAlpha());
    EXPECT_LE(out->at(12, 16)[3], 8) << describe(out->at(12, 16));
    EXPECT_NEAR(out->at(48, 16)[3], 128, 10) << describe(out->at(48, 16));
    EXPECT_GE(out->at(84, 16)[3], 247) << describe(out->at(84, 16));
    EXPECT_LE(colourDistance(out->at(84, 16), {0, 0, 255}), 12) << describe(out->at(84, 16));
}

INSTANTIATE_TEST_SUITE_P(EveryFormatButJpeg, AlphaKept,
                         ::testing::Values(OutputFormat::heic, OutputFormat::png, OutputFormat::avif,
                                           OutputFormat::jxl, OutputFormat::webp),
                         [](const auto& test) { return formatName(test.param); });

class LossyQuality : public ::testing::TestWithParam<OutputFormat> {
protected:
    ScratchDir dir;
};

TEST_P(LossyQuality, LowerQualityWritesFewerBytes) {
    const OutputFormat format = GetParam();
    const fs::path src = dir / "noise.png";
    save(noise(192, 128), src);
    const auto low = Converter::convert(src, outputName(dir.path(), "low", format), settingsFor(format, 0.3));
    const auto high = Converter::convert(src, outputName(dir.path(), "high", format), settingsFor(format, 0.95));
    ASSERT_TRUE(low && high);
    EXPECT_LT(*low * 5 / 4, *high) << "quality 0.3: " << *low << " bytes, 0.95: " << *high << " bytes";
}

INSTANTIATE_TEST_SUITE_P(EveryLossyFormat, LossyQuality,
                         ::testing::Values(OutputFormat::heic, OutputFormat::jpeg, OutputFormat::avif,
                                           OutputFormat::jxl, OutputFormat::webp),
                         [](const auto& test) { return formatName(test.param); });

TEST_F(Converting, PngIgnoresQualityAndIsLossless) {
    const fs::path src = dir / "noise.png";
    save(noise(96, 64), src);
    ASSERT_TRUE(converted(src, dir / "a.png", settingsFor(OutputFormat::png, 0.05)));
    ASSERT_TRUE(converted(src, dir / "b.png", settingsFor(OutputFormat::png, 1.0)));
    EXPECT_EQ(readFile(dir / "a.png"), readFile(dir / "b.png"));

    // Same pixel values as the source, as ImageMagick reads them.
    const auto rawPixels = [](const fs::path& file) { return run("convert " + shellQuoted(file) + " -depth 8 RGB:-"); };
    const CommandResult original = rawPixels(src);
    const CommandResult out = rawPixels(dir / "a.png");
    ASSERT_EQ(original.status, 0);
    ASSERT_EQ(original.output.size(), 96u * 64u * 3u);
    EXPECT_TRUE(out.output == original.output) << "pixels differ from the source";
}

TEST_F(Converting, ConvertingAgainToTheSamePathShowsTheNewPicture) {
    const fs::path first = dir / "first.png";
    const fs::path second = dir / "second.png";
    save(solid(64, 48, {220, 20, 20}), first);
    save(solid(80, 40, {20, 20, 220}), second);
    const fs::path dst = dir / "out.png";

    ASSERT_TRUE(converted(first, dst, settingsFor(OutputFormat::png)));
    const auto before = Converter::loadForDisplay(dst, 4096);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->pixelSize, (PixelSize{64, 48}));

    ASSERT_TRUE(converted(second, dst, settingsFor(OutputFormat::png)));
    const auto after = Converter::loadForDisplay(dst, 4096);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->pixelSize, (PixelSize{80, 40}));
    ASSERT_EQ(after->image.width, 80);
    ASSERT_EQ(after->image.height, 40);
    const std::uint8_t* p = after->image.pixel(40, 20);
    EXPECT_EQ(colourDistance({double(p[0]), double(p[1]), double(p[2])}, {20, 20, 220}), 0);

    const auto reopened = ImageSource::open(dst);
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(Converter::orientedSize(*reopened), (PixelSize{80, 40}));
}

// The source formats the app reads, each made here and converted to PNG.
struct SourceKind {
    const char* name;
    const char* extension;
    std::function<void(const fs::path&, const vips::VImage&)> make;
    double tolerance;
};

void PrintTo(const SourceKind& kind, std::ostream* os) { *os << kind.name; }

class ReadableSource : public ::testing::TestWithParam<SourceKind> {
protected:
    ScratchDir dir;
};

TEST_P(ReadableSource, OpensAndConverts) {
    const SourceKind& kind = GetParam();
    const fs::path src = dir / (std::string("source.") + kind.extension);
    kind.make(src, markedPicture(96, 64));
    ASSERT_TRUE(fs::exists(src));

    const auto source = ImageSource::open(src);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(Converter::orientedSize(*source), (PixelSize{96, 64}));

    const fs::path dst = dir / "out.png";
    ASSERT_TRUE(converted(src, dst, settingsFor(OutputFormat::png)));
    const auto out = decodeIndependently(dst, dir.path());
    ASSERT_TRUE(out);
    EXPECT_EQ(out->width(), 96);
    EXPECT_EQ(out->height(), 64);
    EXPECT_EQ(uprightMarkProblems([&](int x, int y) { return out->at(x, y); }, 96, 64, 1, kind.tolerance), "");
}

void saveAs(std::string options, const fs::path& file, const vips::VImage& image) { save(image, file, options); }

void save16(const fs::path& file, const vips::VImage& image) {
    save((image.cast(VIPS_FORMAT_USHORT) * 257)
             .cast(VIPS_FORMAT_USHORT)
             .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16)),
         file);
}

void saveAnimatedGif(const fs::path& file, const vips::VImage& firstFrame) {
    // Two frames; only the first may come out.
    vips::VImage frames = vips::VImage::arrayjoin(
        {firstFrame, solid(firstFrame.width(), firstFrame.height(), {255, 255, 0})},
        vips::VImage::option()->set("across", 1));
    frames = frames.copy();
    frames.set("page-height", firstFrame.height());
    save(frames, file);
}

void saveWithImageMagick(const fs::path& file, const vips::VImage& image) {
    const fs::path png = file.parent_path() / "magick-input.png";
    save(image, png);
    run("convert " + shellQuoted(png) + " " + shellQuoted(file) + " 2>&1");
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ReadableSource,
    ::testing::Values(
        SourceKind{"jpeg", "jpg", [](auto& f, auto& i) { saveAs("Q=95", f, i); }, 40},
        SourceKind{"png", "png", [](auto& f, auto& i) { saveAs("", f, i); }, 0},
        SourceKind{"png_16_bit", "png", [](auto& f, auto& i) { save16(f, i); }, 1},
        SourceKind{"webp", "webp", [](auto& f, auto& i) { saveAs("Q=95", f, i); }, 40},
        SourceKind{"heic", "heic", [](auto& f, auto& i) { saveAs("Q=90,compression=hevc", f, i); }, 40},
        SourceKind{"heif", "heif", [](auto& f, auto& i) { saveAs("Q=90,compression=hevc", f, i); }, 40},
        SourceKind{"avif", "avif", [](auto& f, auto& i) { saveAs("Q=90,compression=av1", f, i); }, 40},
        SourceKind{"jxl", "jxl", [](auto& f, auto& i) { saveAs("Q=95", f, i); }, 40},
        SourceKind{"tiff", "tif", [](auto& f, auto& i) { saveAs("", f, i); }, 0},
        SourceKind{"gif_first_frame", "gif", [](auto& f, auto& i) { saveAnimatedGif(f, i); }, 8},
        SourceKind{"bmp", "bmp", [](auto& f, auto& i) { saveWithImageMagick(f, i); }, 0},
        SourceKind{"jpeg2000", "jp2", [](auto& f, auto& i) { saveAs("Q=90", f, i); }, 40},
        SourceKind{"pnm", "ppm", [](auto& f, auto& i) { saveAs("", f, i); }, 0}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace krumple
