// Converting one file: upright outputs at the size the width limit asks for,
// transparency, lossless PNG, the less common source formats, display
// loading, and writing over an earlier output.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fixtures.h"

namespace krumple::test {
namespace {

ConvertSettings settingsFor(OutputFormat format, double quality = 0.9, std::optional<std::int64_t> maxWidth = {}) {
    return ConvertSettings{format, quality, maxWidth, false};
}

// Every orientation, stored 400 x 300 unless said otherwise; the limit is on the upright width.
TEST(Converting, UprightAtTheLimitedWidth) {
    struct Case {
        int orientation, storedWidth, storedHeight;
        std::optional<std::int64_t> maxWidth;
        int width, height;
    };
    const std::vector<Case> cases = {
        {0, 400, 300, 200, 200, 150},  {1, 300, 400, 200, 200, 267},  // the height follows: 400 * 200 / 300
        {2, 400, 300, {}, 400, 300},   {3, 400, 300, 1000, 400, 300},  // never upscaled
        {4, 400, 300, {}, 400, 300},   {5, 400, 300, 150, 150, 200},
        {6, 400, 300, 200, 200, 267},  {7, 400, 300, {}, 300, 400},
        {8, 400, 300, 150, 150, 200},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "orientation " << c.orientation << ", " << c.storedWidth << " x "
                                          << c.storedHeight << ", limit " << c.maxWidth.value_or(0));
        const std::string n = std::to_string(&c - cases.data());
        const fs::path src = makeOrientedJpeg(dir / ("src" + n + ".jpg"), c.orientation, c.storedWidth, c.storedHeight);
        const fs::path dst = dir / ("out" + n + ".jpg");
        ASSERT_TRUE(converted(src, dst, settingsFor(OutputFormat::jpeg, 0.9, c.maxWidth)));
        const auto out = decodeIndependently(dst, dir.path());
        ASSERT_TRUE(out);
        EXPECT_EQ(std::pair(out->width(), out->height()), std::pair(c.width, c.height));
        EXPECT_EQ(uprightMarkProblems(*out, c.orientation, 40), "");
    }
}

class EveryFormat : public ::testing::TestWithParam<OutputFormat> {
protected:
    TempDir dir;
};

// Left: fully transparent black. Middle: half-transparent red. Right: opaque blue.
TEST_P(EveryFormat, TransparencyKeptOrFlattenedOntoWhiteForJpeg) {
    const fs::path src = dir / "clear.png";
    save(withRect(withRect(solid(96, 32, {0, 0, 0, 0}), 32, 0, 32, 32, {255, 0, 0, 128}), 64, 0, 32, 32,
                  {0, 0, 255, 255}),
         src);
    const fs::path dst = outputName(dir.path(), "out", GetParam());
    ASSERT_TRUE(converted(src, dst, settingsFor(GetParam(), 0.95)));
    const auto out = decodeIndependently(dst, dir.path());
    ASSERT_TRUE(out);
    const bool flat = GetParam() == OutputFormat::jpeg;
    EXPECT_EQ(out->hasAlpha(), !flat);
    const std::vector<Pixel> want = flat ? std::vector<Pixel>{{255, 255, 255}, {255, 127, 127}, {0, 0, 255}}
                                         : std::vector<Pixel>{{0, 0, 0, 0}, {255, 0, 0, 128}, {0, 0, 255, 255}};
    for (std::size_t i = 0; i < 3; ++i) {
        const Pixel got = out->at(16 + 32 * static_cast<int>(i), 16);
        // A fully transparent pixel has no colour to keep.
        if (flat || i > 0) {
            EXPECT_LE(colourDistance(got, want[i]), 12) << i << ": " << describe(got);
        }
        if (!flat) {
            EXPECT_NEAR(got.at(3), want[i][3], 10) << i << ": " << describe(got);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat, ::testing::ValuesIn(OutputFormat::allCases()),
                         [](const auto& test) { return std::string(test.param.rawValue()); });

TEST(Converting, PngIsLosslessAtAnyQuality) {
    TempDir dir;
    save(noise(96, 64), dir / "noise.png");
    ASSERT_TRUE(converted(dir / "noise.png", dir / "out.png", settingsFor(OutputFormat::png, 0.05)));
    const auto source = decodeIndependently(dir / "noise.png", dir.path());
    const auto out = decodeIndependently(dir / "out.png", dir.path());
    ASSERT_TRUE(source && out);
    EXPECT_EQ((source->image - out->image).abs().max(), 0);
}

// Source formats the hardening suite does not already convert, each to PNG.
struct SourceKind {
    const char* name;
    std::function<fs::path(const fs::path& folder, const vips::VImage&)> make;
};

class ReadableSource : public ::testing::TestWithParam<SourceKind> {};

TEST_P(ReadableSource, ConvertsWithTheRightPixels) {
    TempDir dir;
    const fs::path src = GetParam().make(dir.path(), markedPicture(96, 64));
    ASSERT_TRUE(converted(src, dir / "out.png", settingsFor(OutputFormat::png)));
    const auto out = decodeIndependently(dir / "out.png", dir.path());
    ASSERT_TRUE(out);
    EXPECT_EQ(std::pair(out->width(), out->height()), std::pair(96, 64));
    EXPECT_EQ(uprightMarkProblems(*out, 1, 40), "");
}

fs::path saved(const vips::VImage& image, const fs::path& file, std::string_view options = {}) {
    save(image, file, options);
    return file;
}

// Formats libvips has no loader for, which only ImageMagick may read.
fs::path byImageMagick(const fs::path& folder, const vips::VImage& image, const char* name) {
    run("convert " + shellQuoted(saved(image, folder / "in.png")) + " " + shellQuoted(folder / name));
    return folder / name;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ReadableSource,
    ::testing::Values(
        // Two frames; only the first may come out.
        SourceKind{"gif_first_frame",
                   [](auto& folder, auto& image) {
                       vips::VImage frames = vips::VImage::arrayjoin({image, solid(96, 64, {255, 255, 0})},
                                                                     vips::VImage::option()->set("across", 1))
                                                 .copy();
                       frames.set("page-height", 64);
                       return saved(frames, folder / "two.gif");
                   }},
        SourceKind{"bmp_through_imagemagick", [](auto& folder, auto& image) { return byImageMagick(folder, image, "in.bmp"); }},
        SourceKind{"ico_through_imagemagick", [](auto& folder, auto& image) { return byImageMagick(folder, image, "in.ico"); }},
        SourceKind{"psd_through_imagemagick", [](auto& folder, auto& image) { return byImageMagick(folder, image, "in.psd"); }},
        SourceKind{"jpeg2000", [](auto& folder, auto& image) { return saved(image, folder / "in.jp2", "Q=90"); }}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(Converting, DisplayLoadIsUprightScaledDownOnlyAndTellsTheUprightSize) {
    TempDir dir;
    const fs::path sideways = makeOrientedJpeg(dir / "sideways.jpg", 6, 400, 300);
    const auto small = Converter::loadForDisplay(sideways, 128);
    ASSERT_TRUE(small);
    EXPECT_EQ(std::pair(small->image.width, small->image.height), std::pair(96, 128));
    EXPECT_EQ(small->pixelSize, (PixelSize{300, 400}));
    EXPECT_EQ(uprightMarkProblems(displayed(small->image), 6, 16), "");
    const auto whole = Converter::loadForDisplay(sideways, 4096);
    ASSERT_TRUE(whole);
    EXPECT_EQ(std::pair(whole->image.width, whole->image.height), std::pair(300, 400));
}

// An earlier output is replaced only when replacing is allowed, and then
// reading it again shows the new picture, not one cached from before.
TEST(Converting, AnEarlierOutputIsReplacedOnlyWhenAllowed) {
    TempDir dir;
    save(solid(64, 48, {220, 20, 20}), dir / "first.png");
    save(solid(80, 40, {20, 20, 220}), dir / "second.png");
    const fs::path dst = dir / "out" / "out.png";
    fs::create_directory(dir / "out");
    ASSERT_TRUE(converted(dir / "first.png", dst, settingsFor(OutputFormat::png)));
    const std::string first = readFile(dst);
    ASSERT_TRUE(Converter::loadForDisplay(dst, 4096));

    const auto refused = Converter::convert(dir / "second.png", dst, settingsFor(OutputFormat::png), {},
                                            Replace::never);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), ConvertError::encodeFailed);
    EXPECT_EQ(readFile(dst), first);

    ASSERT_TRUE(converted(dir / "second.png", dst, settingsFor(OutputFormat::png)));
    const auto after = Converter::loadForDisplay(dst, 4096);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->pixelSize, (PixelSize{80, 40}));
    EXPECT_EQ(colourDistance(displayed(after->image).at(40, 20), {20, 20, 220}), 0);
    // Nothing else is left in the folder: no hidden temporary name.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace krumple::test
