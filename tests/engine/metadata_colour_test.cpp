// Metadata kept or stripped, read back by exiftool; colour kept either way,
// checked through each format's reference decoder.

#include <cmath>
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

const char* const cameraMake = "TestMake";
const char* const cameraModel = "TestModel";
const char* const takenAt = "2021:05:06 07:08:09";
constexpr double latitude = 48.8566;
constexpr double longitude = 2.3522;

// A camera JPEG in Adobe RGB with Exif, GPS, XMP and IPTC.
fs::path makeCameraJpeg(const fs::path& file, int orientation = 1) {
    const vips::VImage picture = markedPicture(120, 80).icc_transform(
        adobeRgbProfile().c_str(), vips::VImage::option()->set("input_profile", "srgb"));
    save(picture, file, "Q=92");
    exiftoolWrite(file, {"-Make=" + std::string(cameraMake), "-Model=" + std::string(cameraModel),
                         "-DateTimeOriginal=" + std::string(takenAt), "-GPSLatitude=" + std::to_string(latitude),
                         "-GPSLatitudeRef=N", "-GPSLongitude=" + std::to_string(longitude), "-GPSLongitudeRef=E",
                         "-Orientation#=" + std::to_string(orientation), "-ExifImageWidth=120",
                         "-ExifImageHeight=80", "-XMP-dc:Title=Krumple test", "-IPTC:Keywords=testword"});
    return file;
}

std::optional<double> numberTag(const std::vector<Tag>& tags, std::string_view name, std::string_view group) {
    const auto text = tagValue(tags, name, group);
    if (!text) return std::nullopt;
    try {
        return std::stod(*text);
    } catch (...) {
        return std::nullopt;
    }
}

std::string tagNames(const std::vector<Tag>& tags) {
    std::string out;
    for (const auto& tag : tags)
        if (tag.group != "System" && tag.group != "File" && tag.group != "ExifTool")
            out += "[" + tag.group + "] " + tag.name + "=" + tag.value + "\n";
    return out;
}

class MetadataRules : public ::testing::TestWithParam<OutputFormat> {
protected:
    ScratchDir dir;
};

TEST_P(MetadataRules, KeptWhenNotStripped) {
    const OutputFormat format = GetParam();
    const fs::path src = makeCameraJpeg(dir / "camera.jpg");
    const std::string sourceBytes = readFile(src);
    const fs::path dst = dir / ("kept." + std::string(format.fileExtension()));
    const auto result = Converter::convert(src, dst, ConvertSettings{format, 0.9, std::nullopt, false});
    ASSERT_TRUE(result) << description(result.error());
    EXPECT_EQ(readFile(src), sourceBytes) << "the source was changed";

    const auto tags = readTags(dst);
    SCOPED_TRACE(tagNames(tags));
    EXPECT_EQ(tagValue(tags, "Make"), cameraMake);
    EXPECT_EQ(tagValue(tags, "Model"), cameraModel);
    EXPECT_EQ(tagValue(tags, "DateTimeOriginal"), takenAt);
    const auto lat = numberTag(tags, "GPSLatitude", "GPS");
    const auto lon = numberTag(tags, "GPSLongitude", "GPS");
    ASSERT_TRUE(lat && lon) << "no GPS position";
    EXPECT_NEAR(*lat, latitude, 1e-3);
    EXPECT_NEAR(*lon, longitude, 1e-3);
    EXPECT_EQ(tagValue(tags, "GPSLatitudeRef", "GPS"), "N");
    const auto orientation = tagValue(tags, "Orientation");
    EXPECT_TRUE(!orientation || *orientation == "1") << orientation.value_or("");
    EXPECT_TRUE(iccDescription(dst, dir.path())) << "colour profile lost";
}

TEST_P(MetadataRules, StrippedButColourProfileKept) {
    const OutputFormat format = GetParam();
    const fs::path src = makeCameraJpeg(dir / "camera.jpg", 6);
    const fs::path dst = dir / ("stripped." + std::string(format.fileExtension()));
    const auto result = Converter::convert(src, dst, ConvertSettings{format, 0.9, std::nullopt, true});
    ASSERT_TRUE(result) << description(result.error());

    const auto tags = readTags(dst);
    SCOPED_TRACE(tagNames(tags));
    EXPECT_EQ(tagValue(tags, "Make"), std::nullopt);
    EXPECT_EQ(tagValue(tags, "Model"), std::nullopt);
    EXPECT_EQ(tagValue(tags, "DateTimeOriginal"), std::nullopt);
    EXPECT_FALSE(hasTagStartingWith(tags, "GPS"));
    EXPECT_FALSE(hasGroupStartingWith(tags, "XMP"));
    EXPECT_FALSE(hasGroupStartingWith(tags, "IPTC"));
    EXPECT_EQ(tagValue(tags, "Title"), std::nullopt);
    EXPECT_EQ(tagValue(tags, "Keywords"), std::nullopt);
    const auto orientation = tagValue(tags, "Orientation");
    EXPECT_TRUE(!orientation || *orientation == "1") << orientation.value_or("");
    EXPECT_TRUE(iccDescription(dst, dir.path())) << "colour profile lost";
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, MetadataRules, ::testing::ValuesIn(OutputFormat::allCases()),
                         [](const auto& test) { return formatName(test.param); });

// Four patches, each 32 px square, made in sRGB and then moved into the
// source's colour space.
const std::vector<std::vector<double>> patchColours = {
    {40, 160, 60}, {200, 40, 50}, {50, 60, 190}, {230, 200, 40}};

vips::VImage patches() {
    vips::VImage image = solid(32 * static_cast<int>(patchColours.size()), 32, patchColours[0]);
    for (std::size_t i = 1; i < patchColours.size(); ++i)
        image = withRect(image, 32 * static_cast<int>(i), 0, 32, 32, patchColours[i]);
    return image;
}

// The source's own colours in sRGB, by way of its embedded profile.
std::vector<std::vector<double>> expectedColours(const fs::path& src) {
    const vips::VImage inSrgb = vips::VImage::new_from_file(src.c_str())
                                    .icc_transform("srgb", vips::VImage::option()->set("embedded", true));
    std::vector<std::vector<double>> colours;
    for (std::size_t i = 0; i < patchColours.size(); ++i) colours.push_back(inSrgb.getpoint(32 * static_cast<int>(i) + 16, 16));
    return colours;
}

std::string colourProblems(const fs::path& src, const fs::path& dst, const fs::path& workDir, double tolerance) {
    const auto expected = expectedColours(src);
    const auto out = decodeIndependently(dst, workDir);
    if (!out) return "does not decode";
    std::string problems;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto got = out->at(32 * static_cast<int>(i) + 16, 16);
        if (colourDistance(got, expected[i]) > tolerance)
            problems += "patch " + std::to_string(i) + " is " + describe(got) + ", expected " + describe(expected[i]) + "; ";
    }
    return problems;
}

double toleranceFor(OutputFormat format) { return format.isLossless() ? 3 : 10; }

class ColourKept : public ::testing::TestWithParam<std::tuple<OutputFormat, bool>> {
protected:
    ScratchDir dir;
};

TEST_P(ColourKept, ProPhotoSourceLooksTheSame) {
    const auto [format, strip] = GetParam();
    const fs::path src = dir / "prophoto.png";
    save(patches().icc_transform(proPhotoProfile().c_str(), vips::VImage::option()->set("input_profile", "srgb")), src);
    // The check has teeth only if reading the numbers as sRGB would be visibly wrong.
    ASSERT_GT(colourDistance(vips::VImage::new_from_file(src.c_str()).getpoint(16, 16), expectedColours(src)[0]), 20);

    const fs::path dst = dir / ("out." + std::string(format.fileExtension()));
    const auto result = Converter::convert(src, dst, ConvertSettings{format, 0.95, std::nullopt, strip});
    ASSERT_TRUE(result) << description(result.error());
    EXPECT_EQ(colourProblems(src, dst, dir.path(), toleranceFor(format)), "");
}

TEST_P(ColourKept, CmykJpegLooksTheSame) {
    const auto [format, strip] = GetParam();
    const fs::path src = dir / "cmyk.jpg";
    save(patches().icc_transform("cmyk", vips::VImage::option()->set("input_profile", "srgb")), src, "Q=95");
    ASSERT_EQ(vips::VImage::new_from_file(src.c_str()).bands(), 4);

    const fs::path dst = dir / ("out." + std::string(format.fileExtension()));
    const auto result = Converter::convert(src, dst, ConvertSettings{format, 0.95, std::nullopt, strip});
    ASSERT_TRUE(result) << description(result.error());
    EXPECT_EQ(colourProblems(src, dst, dir.path(), toleranceFor(format) + 2), "");
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, ColourKept,
                         ::testing::Combine(::testing::ValuesIn(OutputFormat::allCases()), ::testing::Bool()),
                         [](const auto& test) {
                             return formatName(std::get<0>(test.param)) +
                                    (std::get<1>(test.param) ? "_stripped" : "_kept");
                         });

void expectDisplayedInSrgb(const fs::path& src, double tolerance) {
    const auto loaded = Converter::loadForDisplay(src, 4096);
    ASSERT_TRUE(loaded);
    const auto expected = expectedColours(src);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::uint8_t* p = loaded->image.pixel(32 * static_cast<int>(i) + 16, 16);
        const std::vector<double> got{double(p[0]), double(p[1]), double(p[2])};
        EXPECT_LE(colourDistance(got, expected[i]), tolerance)
            << "patch " << i << ": " << describe(got) << " vs " << describe(expected[i]);
    }
}

TEST(DisplayColour, WideGamutSourceIsShownInSrgb) {
    ScratchDir dir;
    const fs::path src = dir / "prophoto.png";
    save(patches().icc_transform(proPhotoProfile().c_str(), vips::VImage::option()->set("input_profile", "srgb")), src);
    expectDisplayedInSrgb(src, 3);
}

TEST(DisplayColour, CmykSourceIsShownInSrgb) {
    ScratchDir dir;
    const fs::path src = dir / "cmyk.jpg";
    save(patches().icc_transform("cmyk", vips::VImage::option()->set("input_profile", "srgb")), src, "Q=95");
    expectDisplayedInSrgb(src, 6);
}

}  // namespace
}  // namespace krumple
