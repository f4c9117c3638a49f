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
#include "image_io.h"

namespace krumple::test {
namespace {

ConvertSettings settingsFor(OutputFormat format, double quality = 0.9, std::optional<std::int64_t> maxWidth = {}) {
    return ConvertSettings{format, quality, maxWidth, false};
}

// Every orientation, stored 400 x 300 unless said otherwise; the limit holds
// to the upright picture's width, height or longer side.
TEST(Converting, UprightWithinTheLimitOfEachSide) {
    using enum LimitedSide;
    struct Case {
        LimitedSide side;
        int orientation, storedWidth, storedHeight;
        std::optional<std::int64_t> limit;
        int width, height;
    };
    const std::vector<Case> cases = {
        {width, 0, 400, 300, 200, 200, 150},  {width, 1, 300, 400, 200, 200, 267},  // the height follows: 400 * 200 / 300
        {width, 2, 400, 300, {}, 400, 300},   {width, 3, 400, 300, 1000, 400, 300},  // never upscaled
        {width, 4, 400, 300, {}, 400, 300},   {width, 5, 400, 300, 150, 150, 200},
        {width, 6, 400, 300, 200, 200, 267},  {width, 7, 400, 300, {}, 300, 400},
        {width, 8, 400, 300, 150, 150, 200},
        {height, 1, 400, 300, 150, 200, 150}, {height, 1, 300, 400, 200, 150, 200},  // landscape, portrait
        {height, 6, 400, 300, 200, 150, 200}, {height, 1, 400, 300, 600, 400, 300},  // upright portrait; no upscaling
        {longer, 1, 400, 300, 200, 200, 150}, {longer, 1, 300, 400, 200, 150, 200},
        {longer, 8, 400, 300, 100, 75, 100},  {longer, 1, 400, 300, 400, 400, 300},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "side " << static_cast<int>(c.side) << ", orientation " << c.orientation
                                          << ", " << c.storedWidth << " x " << c.storedHeight << ", limit "
                                          << c.limit.value_or(0));
        const std::string n = std::to_string(&c - cases.data());
        const fs::path src = makeOrientedJpeg(dir / ("src" + n + ".jpg"), c.orientation, c.storedWidth, c.storedHeight);
        const fs::path dst = dir / ("out" + n + ".jpg");
        ConvertSettings settings = settingsFor(OutputFormat::jpeg);
        (c.side == width ? settings.maxWidth : c.side == height ? settings.maxHeight : settings.maxSide) = c.limit;
        ASSERT_TRUE(converted(src, dst, settings));
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

// Three patches, left to right: fully transparent black, half-transparent
// colour, opaque colour; in every layout an encoder may get (grey or RGB,
// 8 or 16 bits, odd sizes), read back at the source's size.
TEST_P(EveryFormat, TransparencyKeptOrFlattenedOntoWhiteForJpeg) {
    struct Case {
        const char* name;
        int width, height;
        std::vector<Pixel> patches;  // 8-bit, with alpha when the source has it
        bool grey = false, deep = false;
        const char* saveOptions = "";
        std::vector<Pixel> shown = {};  // in sRGB, when not the patches themselves
    };
    const std::vector<Case> cases = {
        {"rgba", 96, 32, {{0, 0, 0, 0}, {255, 0, 0, 128}, {0, 0, 255, 255}}},
        // Levels whose high and low bytes differ, so a byte-order slip shows.
        {"rgba 16-bit, odd size", 99, 33, {{0, 0, 0, 0}, {230, 40, 0, 100}, {20, 60, 240, 255}}, false, true},
        {"grey with alpha, odd size", 105, 35, {{0, 0}, {200, 128}, {60, 255}}, true},
        {"grey, odd size", 99, 33, {{30}, {200}, {110}}, true},
        // A linear grey profile: the levels shown in sRGB are much lighter.
        {"grey with a grey profile", 99, 33, {{30}, {200}, {110}}, true, false,
         "profile=/usr/share/color/icc/Gray.icc", {{96}, {229}, {176}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int w = c.width / 3;
        vips::VImage picture = solid(c.width, c.height, c.patches[0]);
        for (int i = 1; i < 3; ++i) picture = withRect(picture, w * i, 0, w, c.height, c.patches[static_cast<std::size_t>(i)]);
        if (c.grey) picture = picture.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
        if (c.deep)
            picture = (picture.cast(VIPS_FORMAT_USHORT) * 257)
                          .cast(VIPS_FORMAT_USHORT)
                          .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16));
        const std::string stem = "case" + std::to_string(&c - cases.data());
        save(picture, dir / (stem + ".png"), c.saveOptions);
        const fs::path dst = outputName(dir.path(), stem, GetParam());
        ASSERT_TRUE(converted(dir / (stem + ".png"), dst, settingsFor(GetParam(), 0.95)));
        const auto out = decodeIndependently(dst, dir.path());
        ASSERT_TRUE(out);
        EXPECT_EQ(std::pair(out->width(), out->height()), std::pair(c.width, c.height));
        const bool alpha = c.patches[0].size() == 2 || c.patches[0].size() == 4;
        const bool flat = GetParam() == OutputFormat::jpeg;
        EXPECT_EQ(out->hasAlpha(), alpha && !flat);
        // Strict readers (libpng under heif-convert and avifdec) refuse a grey
        // profile over RGB; lenient ones hide it.
        if (!c.shown.empty() && vips::VImage::new_from_file(dst.c_str()).bands() >= 3) {
            EXPECT_NE(tagValue(readTags(dst), "ColorSpaceData"), "GRAY");
        }
        for (std::size_t i = 0; i < 3; ++i) {
            Pixel want = c.shown.empty() ? c.patches[i] : c.shown[i];
            if (c.grey) want.insert(want.begin(), 2, want[0]);
            const double a = alpha ? want[3] / 255 : 1;
            if (flat) want = {want[0] * a + 255 * (1 - a), want[1] * a + 255 * (1 - a), want[2] * a + 255 * (1 - a)};
            const Pixel got = out->at(w / 2 + w * static_cast<int>(i), c.height / 2);
            // A fully transparent pixel has no colour to keep.
            if (flat || a > 0) {
                EXPECT_LE(colourDistance(got, want), 12) << i << ": " << describe(got);
            }
            if (alpha && !flat) {
                EXPECT_NEAR(got.at(3), want[3], 10) << i << ": " << describe(got);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat, ::testing::ValuesIn(OutputFormat::allCases()),
                         [](const auto& test) { return std::string(test.param.rawValue()); });

// Progressive, with tables made for the picture: fewer bytes for the very
// coefficients a baseline file of the same quality holds.
TEST(Converting, JpegIsProgressiveWithTheSamePixels) {
    TempDir dir;
    save(noise(96, 64), dir / "noise.png");
    ASSERT_TRUE(converted(dir / "noise.png", dir / "out.jpg", settingsFor(OutputFormat::jpeg)));
    const std::string file = readFile(dir / "out.jpg");
    EXPECT_NE(file.find("\xFF\xC2"), std::string::npos);  // SOF2: progressive
    ASSERT_EQ(run("jpegtran -copy all " + shellQuoted(dir / "out.jpg") + " > " + shellQuoted(dir / "baseline.jpg")).status, 0);
    EXPECT_LT(file.size(), fs::file_size(dir / "baseline.jpg"));
    EXPECT_EQ(run("compare -metric AE " + shellQuoted(dir / "out.jpg") + " " + shellQuoted(dir / "baseline.jpg") + " null: 2>&1").output, "0");
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

// An animated GIF keeps every frame, each frame's time and the loop count
// where the format holds an animation (read back as the engine reads
// sources), frames resized alike; elsewhere its first frame is written and
// the result says so.
TEST(Converting, AnimationKeptWhereTheFormatHoldsOneElseItsFirstFrame) {
    using vips::VImage;
    TempDir dir;
    const std::vector<VImage> frames{VImage::black(60, 40, VImage::option()->set("bands", 3)) + std::vector<double>{220, 20, 20},
                                     VImage::black(60, 40, VImage::option()->set("bands", 3)) + std::vector<double>{20, 220, 20},
                                     VImage::black(60, 40, VImage::option()->set("bands", 3)) + std::vector<double>{20, 20, 220}};
    VImage stacked = VImage::arrayjoin(frames, VImage::option()->set("across", 1)).cast(VIPS_FORMAT_UCHAR).copy();
    stacked.set(VIPS_META_PAGE_HEIGHT, 40);
    stacked.set("delay", std::vector<int>{100, 200, 10});  // 10 ms plays as 100, as in browsers
    stacked.set("loop", 2);
    save(stacked, dir / "a.gif");

    using Case = std::pair<OutputFormat, std::optional<std::int64_t>>;
    for (const auto& [format, limit] : {Case{OutputFormat::webp, {}}, Case{OutputFormat::webp, 30}, Case{OutputFormat::jxl, {}},
                                        Case{OutputFormat::png, {}}, Case{OutputFormat::avif, {}}}) {
        SCOPED_TRACE(format.label());
        const fs::path out = outputName(dir.path(), "a", format);
        const auto animation = Converter::convert(dir / "a.gif", out, ConvertSettings{format, 0.9, limit});
        ASSERT_TRUE(animation);
        EXPECT_EQ(std::pair(animation->sourceFrames, animation->frames), std::pair(3, 3));
        const auto read = ImageSource::open(out);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->frames(), 3);
        const VImage back = read->thumbnail(1000, true, false, true)->pixels;
        const int page = limit ? 20 : 40;
        EXPECT_EQ(std::tuple(back.width(), back.get_int(VIPS_META_PAGE_HEIGHT), back.height()), std::tuple(page * 3 / 2, page, 3 * page));
        EXPECT_EQ(back.get_array_int("delay"), (std::vector<int>{100, 200, 100}));
        EXPECT_EQ(back.get_int("loop"), format == OutputFormat::avif ? 0 : 2);  // libavif 0.11 keeps no count
        for (int i = 0; i < 3; ++i)
            EXPECT_LT(colourDistance(back.getpoint(page, i * page + page / 2), frames[static_cast<std::size_t>(i)].getpoint(30, 20)), 12) << i;
        if (format == OutputFormat::png) {
            // pngcheck finds the chunks sound; Pillow plays the frames as written.
            EXPECT_EQ(run("pngcheck -q " + shellQuoted(out)).status, 0);
            writeText(dir / "play.py", "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
                                       "for i in range(im.n_frames):\n    im.seek(i)\n"
                                       "    print(im.info['duration'], im.info['loop'], im.convert('RGB').getpixel((30, 20)))\n");
            EXPECT_EQ(run("/usr/bin/python3 " + shellQuoted(dir / "play.py") + " " + shellQuoted(out)).output,
                      "100.0 2 (220, 20, 20)\n200.0 2 (20, 220, 20)\n100.0 2 (20, 20, 220)\n");
        }
        if (format == OutputFormat::avif) {
            EXPECT_NE(run("avifdec --info " + shellQuoted(out)).output.find("3 frames"), std::string::npos);
        }
        fs::remove(out);
    }
    const auto jpeg = Converter::convert(dir / "a.gif", dir / "a.jpg", settingsFor(OutputFormat::jpeg));
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(std::pair(jpeg->sourceFrames, jpeg->frames), std::pair(3, 1));
    EXPECT_EQ(VImage::new_from_file((dir / "a.jpg").c_str()).height(), 40);
    // Keeping only smaller files, a still never stands in for an animation, however small.
    VImage grainy = noise(60, 120).copy();
    grainy.set(VIPS_META_PAGE_HEIGHT, 40);
    save(grainy, dir / "grainy.gif");
    ConvertSettings smaller = settingsFor(OutputFormat::jpeg, 0.3);
    smaller.onlySmaller = true;
    const auto kept = Converter::convert(dir / "grainy.gif", dir / "grainy.jpg", smaller);
    ASSERT_TRUE(kept);
    EXPECT_LT(kept->size, static_cast<std::int64_t>(fs::file_size(dir / "grainy.gif")));
    EXPECT_FALSE(kept->written);
    EXPECT_FALSE(fs::exists(dir / "grainy.jpg"));
}

// An APNG whose frames redraw only what changed (Pillow writes them so) is
// read composed: every frame whole, as a player shows it.
TEST(Converting, ApngFramesAreComposedOnTheirCanvas) {
    TempDir dir;
    writeText(dir / "make.py", "from PIL import Image\nframes = []\nfor i in range(3):\n"
                               "    f = Image.new('RGB', (60, 40), (128, 128, 128))\n"
                               "    f.paste((255, 0, 0), (10 + 15 * i, 10, 20 + 15 * i, 20))\n    frames.append(f)\n"
                               "frames[0].save('moving.png', save_all=True, append_images=frames[1:], duration=[50, 60, 70], loop=0)\n");
    ASSERT_EQ(run("cd " + shellQuoted(dir.path()) + " && /usr/bin/python3 make.py").status, 0);
    const auto read = ImageSource::open(dir / "moving.png");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->frames(), 3);
    const vips::VImage frames = read->thumbnail(1000, true, false, true)->pixels;
    EXPECT_EQ(frames.bands(), 3);  // opaque throughout
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(frames.getpoint(15 + 15 * j, 40 * i + 15)[0], i == j ? 255 : 128) << i << j;
    EXPECT_EQ(frames.get_array_int("delay"), (std::vector<int>{50, 60, 70}));
}

// libheif 1.15 reads no AVIF sequence and can't mirror a deep picture:
// libavif reads both, the picture turned and mirrored as the file says.
TEST(Converting, AvifsLibheifCannotShowAreReadThroughLibavif) {
    TempDir dir;
    for (int i = 0; i < 3; ++i) save(vips::VImage::black(40, 30) + 80 * i, dir / ("f" + std::to_string(i) + ".png"));
    save(noise(40, 30).cast(VIPS_FORMAT_USHORT) * 257, dir / "deep.png");
    ASSERT_EQ(run("cd " + shellQuoted(dir.path()) +
                  " && avifenc -s 10 --timescale 1000 --duration 100 f0.png --duration 200 f1.png --duration 300 f2.png seq.avif"
                  " && avifenc -s 10 -d 10 --irot 3 --imir 1 deep.png deep.avif && avifdec deep.avif stored.png")
                  .status,
              0);
    const auto sequence = Converter::convert(dir / "seq.avif", dir / "seq.webp", settingsFor(OutputFormat::webp, 0.9));
    ASSERT_TRUE(sequence);
    EXPECT_EQ(sequence->frames, 3);
    EXPECT_EQ(ImageSource::open(dir / "seq.webp")->thumbnail(100, true, false, true)->pixels.get_array_int("delay"),
              (std::vector<int>{100, 200, 300}));

    ASSERT_TRUE(Converter::convert(dir / "deep.avif", dir / "deep-out.png", settingsFor(OutputFormat::png, 1.0)));
    const vips::VImage out = vips::VImage::new_from_file((dir / "deep-out.png").c_str());
    // A quarter turn clockwise (three anticlockwise), then left and right swapped.
    const vips::VImage expected =
        vips::VImage::new_from_file((dir / "stored.png").c_str()).rot(VIPS_ANGLE_D90).flip(VIPS_DIRECTION_HORIZONTAL);
    EXPECT_EQ(std::tuple(out.width(), out.height(), out.format()), std::tuple(30, 40, VIPS_FORMAT_USHORT));
    EXPECT_EQ((out - expected).abs().max(), 0);
}

}  // namespace
}  // namespace krumple::test
