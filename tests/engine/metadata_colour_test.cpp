// Metadata kept or stripped in every format, read back by exiftool, on
// upright pixels; colours kept from wide-gamut, CMYK and grey sources, read
// back through each format's reference decoder and through display loading.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fixtures.h"

namespace krumple::test {
namespace {

using vips::VImage;

class CameraPhoto : public ::testing::TestWithParam<std::tuple<OutputFormat, bool>> {
protected:
    TempDir dir;
};

// A camera JPEG in Adobe RGB, stored sideways (orientation 6), with Exif
// pixel dimensions, a thumbnail, GPS, XMP (orientation included) and IPTC.
TEST_P(CameraPhoto, UprightWithMetadataKeptOrStrippedAndTheColourProfileKept) {
    const auto [format, strip] = GetParam();
    const fs::path src = dir / "camera.jpg";
    save(markedPicture(161, 121).icc_transform("/usr/share/color/icc/colord/AdobeRGB1998.icc",
                                               VImage::option()->set("input_profile", "srgb")),
         src, "Q=95");
    save(solid(40, 30, {128, 128, 128}), dir / "thumb.jpg");
    exiftoolWrite(src, {"-Make=TestMake", "-DateTimeOriginal=2021:05:06 07:08:09", "-GPSLatitude=48.5",
                        "-GPSLatitudeRef=N", "-Orientation#=6", "-ExifImageWidth=161", "-ExifImageHeight=121",
                        "-XMP-dc:Title=Krumple test", "-XMP-tiff:Orientation#=6", "-IPTC:Keywords=testword",
                        "-ThumbnailImage<=" + (dir / "thumb.jpg").string()});
    const fs::path dst = outputName(dir.path(), "out", format);
    ASSERT_TRUE(converted(src, dst, ConvertSettings{format, 0.9, {}, strip}));

    // Odd sizes: 4:2:0 encoders must not pad or crop them.
    const auto out = decodeIndependently(dst, dir.path());
    ASSERT_TRUE(out);
    EXPECT_EQ(std::pair(out->width(), out->height()), std::pair(121, 161));
    // Read as sRGB, Adobe RGB's green would be off by over 100: this also checks the profile.
    EXPECT_EQ(uprightMarkProblems(*out, 6, 40), "");

    const auto tags = readTags(dst);
    std::string orientations, metadata;
    for (const Tag& tag : tags) {
        if (tag.name == "Orientation") {
            EXPECT_EQ(tag.value, "1") << tag.group;
            orientations += tag.group + " ";
        }
        // Stripped means no EXIF block at all, not even one libvips makes up.
        for (const char* group : {"IFD0", "ExifIFD", "GPS", "XMP", "IPTC"})
            if (tag.group.starts_with(group)) metadata += "[" + tag.group + "] " + tag.name + "; ";
        EXPECT_NE(tag.group, "IFD1") << "the old thumbnail is still there";
        EXPECT_NE(tag.name, "Rotation") << tag.value;
        // The camera's dimensions, when written, are the output's.
        if (tag.name == "ExifImageWidth" || tag.name == "ExifImageHeight") {
            EXPECT_EQ(tag.value, tag.name == "ExifImageWidth" ? "121" : "161");
        }
    }
    if (strip) {
        EXPECT_EQ(metadata, "");
    } else {
        EXPECT_EQ(orientations, "IFD0 XMP-tiff ");
    }
    const auto kept = [strip](const char* value) { return strip ? std::nullopt : std::optional<std::string>(value); };
    EXPECT_EQ(tagValue(tags, "Make"), kept("TestMake"));
    EXPECT_EQ(tagValue(tags, "DateTimeOriginal"), kept("2021:05:06 07:08:09"));
    EXPECT_EQ(tagValue(tags, "GPSLatitude"), kept("48.5"));
    EXPECT_EQ(tagValue(tags, "Title"), kept("Krumple test"));
    // Of the output formats, libvips writes IPTC into JPEG only.
    if (format == OutputFormat::jpeg) {
        EXPECT_EQ(tagValue(tags, "Keywords"), kept("testword"));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, CameraPhoto,
                         ::testing::Combine(::testing::ValuesIn(OutputFormat::allCases()), ::testing::Bool()),
                         [](const auto& test) {
                             return std::string(std::get<0>(test.param).rawValue()) +
                                    (std::get<1>(test.param) ? "_stripped" : "_kept");
                         });

// Four 32-pixel patches made in sRGB, then moved into the source's colour space.
VImage patches() {
    VImage image = solid(128, 32, {40, 160, 60});
    image = withRect(image, 32, 0, 32, 32, {200, 40, 50});
    image = withRect(image, 64, 0, 32, 32, {50, 60, 190});
    return withRect(image, 96, 0, 32, 32, {230, 200, 40});
}

// sRGB with red and blue swapped, and a D65 illuminant in its header, which
// libpng refuses to write. Read as plain sRGB, its pixels are far off.
VImage swappedChannels() {
    std::string icc = readFile("/usr/share/color/icc/colord/sRGB.icc");
    const auto at = [&](std::size_t i) {
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 4; ++k) v = v << 8 | static_cast<std::uint8_t>(icc[i + k]);
        return v;
    };
    std::size_t red = 0, blue = 0;
    for (std::size_t tag = 132; tag < 132 + 12 * at(128); tag += 12) {
        if (icc.compare(tag, 4, "rXYZ") == 0) red = tag;
        if (icc.compare(tag, 4, "bXYZ") == 0) blue = tag;
    }
    std::swap_ranges(icc.begin() + static_cast<std::ptrdiff_t>(red + 4),
                     icc.begin() + static_cast<std::ptrdiff_t>(red + 12),
                     icc.begin() + static_cast<std::ptrdiff_t>(blue + 4));
    icc.replace(68, 12, std::string("\x00\x00\xF3\x54\x00\x01\x00\x00\x00\x01\x16\xCE", 12));
    const VImage p = patches();
    // 16 bits, so that the reference decoder writes no palette PNG of its four colours.
    VImage swapped = (VImage::bandjoin(std::vector<VImage>{p[2], p[1], p[0]}) * 257)
                         .cast(VIPS_FORMAT_USHORT)
                         .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16));
    vips_image_set_blob_copy(swapped.get_image(), VIPS_META_ICC_NAME, icc.data(), icc.size());
    return swapped;
}

struct ColourSource {
    const char* name;
    const char* file;
    const char* options;
    std::function<VImage()> make;
    bool strip;
    double tolerance;  // for lossless outputs and display; lossy ones get 7 more
};

class Colour : public ::testing::TestWithParam<ColourSource> {};

TEST_P(Colour, KeptInEveryFormatAndOnDisplay) {
    const ColourSource& source = GetParam();
    TempDir dir;
    const fs::path src = dir / source.file;
    save(source.make(), src, source.options);
    const auto expected = decodeIndependently(src, dir.path());
    ASSERT_TRUE(expected);
    const auto problems = [&](const Decoded& got, double tolerance) {
        std::string text;
        for (int x = 16; x < 128; x += 32)
            if (colourDistance(got.at(x, 16), expected->at(x, 16)) > tolerance)
                text += describe(got.at(x, 16)) + " for " + describe(expected->at(x, 16)) + "; ";
        return text;
    };
    const auto shown = Converter::loadForDisplay(src, 4096);
    ASSERT_TRUE(shown);
    EXPECT_EQ(problems(displayed(shown->image), source.tolerance), "") << "on display";
    for (const OutputFormat format : OutputFormat::allCases()) {
        SCOPED_TRACE(format.rawValue());
        const fs::path dst = outputName(dir.path(), "out", format);
        ASSERT_TRUE(converted(src, dst, ConvertSettings{format, 0.95, {}, source.strip}));
        const auto out = decodeIndependently(dst, dir.path());
        ASSERT_TRUE(out);
        EXPECT_EQ(problems(*out, source.tolerance + (format.isLossless() ? 0 : 7)), "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, Colour,
    ::testing::Values(
        // Stripped: the profile must stay all the same.
        ColourSource{"wide_gamut_16_bit_stripped", "prophoto.png", "",
                     [] {
                         return patches().icc_transform("/usr/share/color/icc/colord/ProPhotoRGB.icc",
                                                        VImage::option()->set("input_profile", "srgb")->set("depth", 16));
                     },
                     true, 3},
        ColourSource{"cmyk", "cmyk.jpg", "Q=95",
                     [] { return patches().icc_transform("cmyk", VImage::option()->set("input_profile", "srgb")); },
                     false, 5},
        ColourSource{"profile_libpng_refuses", "swapped.tif", "", swappedChannels, false, 3},
        ColourSource{"grey_16_bit", "grey.png", "",
                     [] { return patches().colourspace(VIPS_INTERPRETATION_GREY16); }, false, 3}),
    [](const auto& test) { return std::string(test.param.name); });

// Levels of band 0 in use: a 16-bit ramp across 1024 pixels has 1024, any
// 8-bit copy of it at most 256.
int levels(const VImage& image) {
    const VImage used = image.extract_band(0).hist_find() > 0;
    return static_cast<int>(std::lround(used.avg() / 255.0 * used.width()));
}

class DeepColour : public ::testing::TestWithParam<OutputFormat> {};

// A 16-bit source keeps more than 8 bits where the format can hold them, and
// an 8-bit one stays 8-bit everywhere, so its files don't grow.
TEST_P(DeepColour, SixteenBitsKeptWhereTheFormatHoldsThemAndEightStayEight) {
    const OutputFormat format = GetParam();
    TempDir dir;
    const VImage ramp = (VImage::xyz(1024, 32)[0] * 64).cast(VIPS_FORMAT_USHORT);
    const VImage rgb16 = VImage::bandjoin(std::vector<VImage>{ramp, ramp.flip(VIPS_DIRECTION_HORIZONTAL), ramp})
                             .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16));
    save(rgb16, dir / "deep.png");
    save((rgb16 >> 8).cast(VIPS_FORMAT_UCHAR).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)),
         dir / "eight.png");
    const bool holdsDeep = format != OutputFormat::jpeg && format != OutputFormat::webp;
    for (const char* stem : {"deep", "eight"}) {
        SCOPED_TRACE(stem);
        const bool deep = stem == std::string_view("deep");
        const fs::path dst = outputName(dir.path(), stem, format);
        ASSERT_TRUE(converted(dir / (std::string(stem) + ".png"), dst, ConvertSettings{format, 0.9, {}, false}));
        const VImage out = VImage::new_from_file(dst.c_str());
        EXPECT_EQ(out.format(), deep && holdsDeep ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR);
        // HEIC is written at 10 bits; libheif 1.15 can only give aom 12.
        if (out.get_typeof("heif-bitdepth") != 0) {
            EXPECT_EQ(out.get_int("heif-bitdepth"), deep ? (format == OutputFormat::heic ? 10 : 12) : 8);
        }
        if (deep && holdsDeep) {
            EXPECT_GT(levels(out), format.isLossless() ? 1000 : 400);
        }
        if (format.isLossless()) {
            EXPECT_EQ(levels(out), deep ? 1024 : 256);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, DeepColour, ::testing::ValuesIn(OutputFormat::allCases()),
                         [](const auto& test) { return std::string(test.param.rawValue()); });

}  // namespace
}  // namespace krumple::test
