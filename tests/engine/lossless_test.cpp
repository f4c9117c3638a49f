// Quality 100 % in JPEG XL and WebP: exact pixels, read back by each format's
// reference decoder; a JPEG carried over into JPEG XL comes back byte for byte.

#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fixtures.h"

namespace krumple::test {
namespace {

using vips::VImage;

// The largest difference of any sample, or -1 when the shapes differ.
double largestDifference(const VImage& a, const VImage& b) {
    if (a.width() != b.width() || a.height() != b.height() || a.bands() != b.bands() || a.format() != b.format())
        return -1;
    return (a - b).abs().max();
}

VImage loaded(const fs::path& file) { return VImage::new_from_file(file.c_str()).autorot().copy_memory(); }

// The file decoded by djxl or dwebp, at its own bit depth.
VImage referenceDecoded(const fs::path& file, const fs::path& png) {
    const std::string in = shellQuoted(file), out = shellQuoted(png);
    const CommandResult r =
        run((file.extension() == ".webp" ? "dwebp " + in + " -o " + out : "djxl " + in + " " + out) + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.output;
    return loaded(png);
}

// A noisy JPEG with EXIF, XMP, IPTC and a colour profile.
fs::path cameraJpeg(const fs::path& file) {
    save(noise(67, 45), file, "Q=90,profile=/usr/share/color/icc/colord/AdobeRGB1998.icc");
    exiftoolWrite(file, {"-Make=TestMake", "-XMP-dc:Title=Krumple test", "-IPTC:Keywords=testword"});
    return file;
}

struct PixelCase {
    const char* name;
    OutputFormat format;
    std::function<fs::path(const fs::path& dir)> source;
};
void PrintTo(const PixelCase& c, std::ostream* os) { *os << c.name; }

class Lossless : public ::testing::TestWithParam<PixelCase> {
protected:
    TempDir dir;
};

TEST_P(Lossless, ExactPixelsReadBackByTheReferenceDecoder) {
    const fs::path src = GetParam().source(dir.path());
    const fs::path dst = outputName(dir.path(), "out", GetParam().format);
    ASSERT_TRUE(converted(src, dst, ConvertSettings{GetParam().format, 1.0, {}, false}));
    EXPECT_EQ(largestDifference(referenceDecoded(dst, dir / "back.png"), loaded(src)), 0);
}

fs::path rgbaPng(const fs::path& dir) {
    // Alpha never 0: libwebp may change the colour of a pixel nobody sees.
    const VImage alpha = (VImage::gaussnoise(80, 50, VImage::option()->set("mean", 128.0)->set("sigma", 60.0))
                              .cast(VIPS_FORMAT_UCHAR) |
                          1);
    save(noise(80, 50).bandjoin(alpha.cast(VIPS_FORMAT_UCHAR)), dir / "rgba.png");
    return dir / "rgba.png";
}

const PixelCase pixelCases[] = {
    {"RgbaPngToJxl", OutputFormat::jxl, rgbaPng},
    {"RgbaPngToWebp", OutputFormat::webp, rgbaPng},
    {"DeepPngToJxl", OutputFormat::jxl,
     [](const fs::path& dir) {
         save((noise(80, 50).cast(VIPS_FORMAT_USHORT) * 257 + VImage::gaussnoise(80, 50) * 40)
                  .cast(VIPS_FORMAT_USHORT)
                  .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16)),
              dir / "deep.png");
         return dir / "deep.png";
     }},
    // libjxl refuses over 4 MB after the end of the picture: the pixels still go.
    {"JpegLibjxlRefusesToJxl", OutputFormat::jxl,
     [](const fs::path& dir) {
         const fs::path file = cameraJpeg(dir / "tail.jpg");
         std::ofstream(file, std::ios::app | std::ios::binary) << std::string(4500000, '\0');
         return file;
     }},
};
INSTANTIATE_TEST_SUITE_P(Sources, Lossless, ::testing::ValuesIn(pixelCases),
                         [](const auto& row) { return std::string(row.param.name); });

// PNG in the fewest bits that keep every pixel (checked by ImageMagick), at
// any quality; a picture one sample away from a reduction keeps its full form.
TEST(SmallestPng, EachReductionOnlyWhereNoPixelChanges) {
    TempDir dir;
    const VImage rgb = noise(60, 40).copy_memory();
    const VImage xy = VImage::xyz(60, 40);
    const VImage grey = ((xy[0] + xy[1] * 60) % 256).cast(VIPS_FORMAT_UCHAR);  // every level once at least
    const auto opaque = [](const VImage& im) { return (im[0] * 0 + 255).cast(VIPS_FORMAT_UCHAR); };
    const auto touched = [](VImage im, std::vector<double> ink) {  // one pixel set to `ink`
        im = im.copy_memory();
        im.draw_rect(ink, 7, 5, 1, 1);
        return im;
    };
    const auto rgb16 = [](const VImage& im) {
        return im.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16));
    };
    // Five flat colours; 257 colours, one per column of an 8-bit ramp and one more.
    VImage flat = VImage::black(60, 40, VImage::option()->set("bands", 3)).cast(VIPS_FORMAT_UCHAR).copy_memory();
    for (int i = 1; i < 5; ++i) flat.draw_rect({i * 50.0, 255.0 - i * 40, 90.0}, i * 10, i * 5, 12, 9, VImage::option()->set("fill", true));
    const VImage x = VImage::xyz(257, 4)[0];
    const VImage many = (x % 256).bandjoin((x / 256) * 200).bandjoin(x * 0).cast(VIPS_FORMAT_UCHAR);
    const VImage wide = rgb.cast(VIPS_FORMAT_USHORT) * 257;
    const VImage marked = flat[0] > 0;
    const VImage twoColours = marked.ifthenelse(200, 30)
                                  .bandjoin(marked.ifthenelse(128, 255))
                                  .cast(VIPS_FORMAT_UCHAR)
                                  .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));

    struct Case {
        const char* name;
        VImage picture;
        int colourType, bitDepth;  // as the output's IHDR must say
    };
    const Case cases[] = {
        {"opaque alpha", rgb.bandjoin(opaque(rgb)), 2, 8},
        {"one pixel translucent", rgb.bandjoin(touched(opaque(rgb), {254})), 6, 8},
        {"grey as RGB", grey.bandjoin(grey).bandjoin(grey), 0, 8},
        {"grey but one pixel", grey.bandjoin(grey).bandjoin(touched(grey, {3})), 2, 8},
        {"five colours", flat, 3, 4},
        {"257 colours", many, 2, 8},
        {"two colours, one half clear", twoColours, 3, 1},
        {"16 bits that are 8", rgb16(wide.cast(VIPS_FORMAT_USHORT)), 2, 8},
        {"16 bits but one sample", rgb16(touched(wide.cast(VIPS_FORMAT_USHORT), {1000, 2000, 3001})), 2, 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path src = dir / "in.png", dst = dir / "out.png";
        save(c.picture, src);
        ASSERT_TRUE(converted(src, dst, ConvertSettings{OutputFormat::png, 0.05, {}, false}));
        std::ifstream in(dst, std::ios::binary);
        char head[26] = {};
        in.read(head, sizeof head);
        EXPECT_EQ(std::pair(int(head[25]), int(head[24])), std::pair(c.colourType, c.bitDepth));
        EXPECT_EQ(run("compare -metric AE " + shellQuoted(src) + " " + shellQuoted(dst) + " null: 2>&1").output, "0");
        fs::remove(dst);
    }
}

// djxl rebuilds the source itself; stripped, one without EXIF, XMP or IPTC
// but with the same pixels and colour profile.
TEST(LosslessJpeg, CarriedOverIntoJxlAndRebuiltByDjxl) {
    TempDir dir;
    const fs::path src = cameraJpeg(dir / "camera.jpg");
    for (const bool strip : {false, true}) {
        SCOPED_TRACE(strip ? "stripped" : "kept");
        const fs::path dst = dir / (strip ? "stripped.jxl" : "kept.jxl"), rebuilt = dir / (strip ? "s.jpg" : "k.jpg");
        ASSERT_TRUE(converted(src, dst, ConvertSettings{OutputFormat::jxl, 1.0, {}, strip}));
        const CommandResult r = run("djxl " + shellQuoted(dst) + " " + shellQuoted(rebuilt) + " 2>&1");
        ASSERT_EQ(r.status, 0) << r.output;
        if (!strip) {
            EXPECT_TRUE(readFile(rebuilt) == readFile(src));
        }
        EXPECT_EQ(largestDifference(loaded(rebuilt), loaded(src)), 0);
        EXPECT_TRUE(tagValue(readTags(rebuilt), "ProfileDescription"));
        for (const fs::path& file : {dst, rebuilt}) {
            const auto tags = readTags(file);
            // Plain boxes: exiftool sees the kept metadata in the JPEG XL file too.
            EXPECT_EQ(tagValue(tags, "Make").value_or("none"), strip ? "none" : "TestMake") << file;
            EXPECT_EQ(tagValue(tags, "Title").value_or("none"), strip ? "none" : "Krumple test") << file;
            if (file == rebuilt) {
                EXPECT_EQ(tagValue(tags, "Keywords").value_or("none"), strip ? "none" : "testword");
            }
        }
    }
}

// A phone's portrait (stored sideways, EXIF orientation 6) is carried over
// whole, the turn in the JPEG XL header: shown upright, rebuilt byte for byte.
// Resized, or with metadata left out, it can't give the source back, and says so.
TEST(LosslessJpeg, TurnedJpegCarriedOverWithItsTurn) {
    TempDir dir;
    const fs::path src = makeOrientedJpeg(dir / "turned.jpg", 6, 60, 40);
    const auto carried = Converter::convert(src, dir / "turned.jxl", ConvertSettings{OutputFormat::jxl, 1.0, {}, false});
    ASSERT_TRUE(carried);
    EXPECT_EQ(carried->rebuildsJpeg, true);
    EXPECT_LT(carried->size, static_cast<std::int64_t>(fs::file_size(src)));
    ASSERT_EQ(run("djxl " + shellQuoted(dir / "turned.jxl") + " " + shellQuoted(dir / "back.jpg") + " 2>&1").status, 0);
    EXPECT_TRUE(readFile(dir / "back.jpg") == readFile(src));
    EXPECT_EQ(uprightMarkProblems(Decoded{referenceDecoded(dir / "turned.jxl", dir / "shown.png")}, 6, 40), "");

    const auto stripped = Converter::convert(src, dir / "stripped.jxl", ConvertSettings{OutputFormat::jxl, 1.0, {}, true});
    const auto resized = Converter::convert(src, dir / "small.jxl", ConvertSettings{OutputFormat::jxl, 1.0, 20});
    ASSERT_TRUE(stripped && resized);
    EXPECT_EQ(std::pair(stripped->rebuildsJpeg, resized->rebuildsJpeg), std::pair(std::optional(false), std::optional(false)));
    EXPECT_EQ(uprightMarkProblems(Decoded{referenceDecoded(dir / "stripped.jxl", dir / "s.png")}, 6, 40), "");
    EXPECT_EQ(Converter::convert(src, dir / "lossy.jxl", ConvertSettings{OutputFormat::jxl, 0.8, {}, false})->rebuildsJpeg, std::nullopt);
}

}  // namespace
}  // namespace krumple::test
