// The raw metadata blocks the writer rewrites, and what reaches the file.

#include <gtest/gtest.h>

#include "converter.h"
#include "fixtures.h"
#include "metadata_blocks.h"

namespace krumple::test {
namespace {

std::string boxTypes(const Blob& file) {
    std::string types;
    for (std::size_t at = 0; at + 8 <= file.size();) {
        const std::size_t size = std::size_t{file[at]} << 24 | std::size_t{file[at + 1]} << 16 |
                                 std::size_t{file[at + 2]} << 8 | file[at + 3];
        types += std::string(reinterpret_cast<const char*>(file.data() + at + 4), 4) + "|";
        if (size < 8) break;
        at += size;
    }
    return types;
}

TEST(XmpPacket, EveryOrientationBecomesUprightAndNothingElseChanges) {
    const std::string packet =
        R"(<rdf:Description tiff:Orientation = '6' exif:PixelXDimension="4000" tiff:Make="8"/>)"
        "<tiff:Orientation> 8</tiff:Orientation><tiff:Orientation>oops</tiff:Orientation>";
    EXPECT_EQ(xmp::upright(packet),
              R"(<rdf:Description tiff:Orientation = '1' exif:PixelXDimension="4000" tiff:Make="8"/>)"
              "<tiff:Orientation> 1</tiff:Orientation><tiff:Orientation>oops</tiff:Orientation>");
}

TEST(JxlContainer, MetadataBoxesComeBeforeTheCodestreamAndGarbageIsRefused) {
    const Blob bare{0xFF, 0x0A, 1, 2, 3};
    const Blob exifTiff{'I', 'I', 42, 0, 8, 0, 0, 0};
    const std::string packet = "<x:xmpmeta/>";
    const auto wrapped = jxl::withMetadataBoxes(bare, &exifTiff, &packet);
    ASSERT_TRUE(wrapped);
    EXPECT_EQ(boxTypes(*wrapped), "JXL |ftyp|Exif|xml |jxlc|");
    // The codestream is carried whole, last.
    EXPECT_TRUE(std::equal(bare.begin(), bare.end(), wrapped->end() - static_cast<std::ptrdiff_t>(bare.size())));

    // An existing container keeps its level box right after ftyp and loses stale metadata boxes.
    Blob container(wrapped->begin(), wrapped->begin() + 32);  // signature + ftyp
    const Blob level{0, 0, 0, 9, 'j', 'x', 'l', 'l', 5};
    container.insert(container.end(), level.begin(), level.end());
    container.insert(container.end(), wrapped->begin() + 32, wrapped->end());
    const auto rewrapped = jxl::withMetadataBoxes(container, &exifTiff, nullptr);
    ASSERT_TRUE(rewrapped);
    EXPECT_EQ(boxTypes(*rewrapped), "JXL |ftyp|jxll|Exif|jxlc|");

    EXPECT_FALSE(jxl::withMetadataBoxes(Blob{'G', 'I', 'F', '8'}, &exifTiff, nullptr));
    Blob cut = container;
    cut.resize(cut.size() - 2);  // last box runs past the end
    EXPECT_FALSE(jxl::withMetadataBoxes(cut, &exifTiff, nullptr));
}

TEST(WrittenMetadata, XmpOrientationIsUprightInTheOutput) {
    initImageLibrary();
    ScratchDir dir;
    const fs::path src = makeOrientedJpeg(dir / "side.jpg", 6, 64, 48);
    exiftoolWrite(src, {"-XMP-tiff:Orientation#=6"});
    for (OutputFormat f : {OutputFormat::jpeg, OutputFormat::webp, OutputFormat::jxl}) {
        const fs::path out = dir / ("out." + std::string(f.fileExtension()));
        ConvertSettings settings;
        settings.format = f;
        ASSERT_TRUE(Converter::convert(src, out, settings)) << formatName(f);
        const auto tags = readTags(out);
        EXPECT_EQ(tagValue(tags, "Orientation", "XMP-tiff"), "1") << formatName(f);
        EXPECT_EQ(tagValue(tags, "Orientation", "IFD0"), "1") << formatName(f);
    }
}

}  // namespace
}  // namespace krumple::test
