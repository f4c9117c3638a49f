// Failures: each one has its fixed text, and none leaves a file, whole or
// partial, in the destination folder.

#include <stop_token>
#include <string>
#include <vector>


#include <glib.h>
#include <gtest/gtest.h>

#include "converter.h"
#include "fixtures.h"
#include "image_io.h"

namespace krumple {
namespace {

using namespace krumple::test;

using Names = std::vector<std::string>;

class Failures : public ::testing::Test {
protected:
    ScratchDir dir;
    fs::path out = dir.subdir("out");  // holds only what the engine writes

    fs::path goodJpeg() {
        const fs::path src = dir / "good.jpg";
        if (!fs::exists(src)) save(markedPicture(64, 48), src, "Q=90");
        return src;
    }
    static ConvertSettings jpegSettings() { return ConvertSettings{OutputFormat::jpeg, 0.8, std::nullopt, false}; }
};

std::string failureText(const std::expected<std::int64_t, ConvertError>& result) {
    return result ? "success (" + std::to_string(*result) + " bytes)" : std::string(description(result.error()));
}

TEST_F(Failures, DestinationFolderThatIsNoFolderCannotBeWritten) {
    writeFile(dir / "plain-file", "not a folder");
    EXPECT_EQ(failureText(Converter::convert(goodJpeg(), dir / "plain-file" / "out.jpg", jpegSettings())),
              "Couldn't write the output");
    EXPECT_EQ(readFile(dir / "plain-file"), "not a folder");
    const fs::path missing = dir / "no-such-folder" / "out.jpg";
    EXPECT_EQ(failureText(Converter::convert(goodJpeg(), missing, jpegSettings())), "Couldn't write the output");
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(Failures, EncoderRefusalLeavesNothingBehind) {
    // Wider than WebP (16383) and JPEG (65535) can hold: the encoder itself fails.
    save(solid(16500, 4, {10, 120, 200}), dir / "wide.png");
    save(solid(66000, 2, {10, 120, 200}), dir / "wider.png");
    EXPECT_EQ(failureText(Converter::convert(dir / "wide.png", out / "wide.webp",
                                             ConvertSettings{OutputFormat::webp, 0.8, std::nullopt, false})),
              "Couldn't write the output");
    EXPECT_EQ(failureText(Converter::convert(dir / "wider.png", out / "wider.jpg", jpegSettings())),
              "Couldn't write the output");
    EXPECT_EQ(entries(out), Names{});
}

TEST_F(Failures, NeverReplaceKeepsTheExistingFile) {
    writeFile(out / "taken.jpg", "someone else's file");
    const auto result = Converter::convert(goodJpeg(), out / "taken.jpg", jpegSettings(), {},
                                           ImageDestination::Replace::never);
    EXPECT_EQ(failureText(result), "Couldn't write the output");
    EXPECT_EQ(readFile(out / "taken.jpg"), "someone else's file");
    EXPECT_EQ(entries(out), Names{"taken.jpg"});
}

TEST_F(Failures, ReplacingAnExistingFileWorks) {
    writeFile(out / "old.jpg", "an older output");
    const auto result = Converter::convert(goodJpeg(), out / "old.jpg", jpegSettings());
    ASSERT_TRUE(result) << failureText(result);
    EXPECT_EQ(*result, static_cast<std::int64_t>(fs::file_size(out / "old.jpg")));
    EXPECT_NE(ImageSource::open(out / "old.jpg"), nullptr);
    EXPECT_EQ(entries(out), Names{"old.jpg"});
}

TEST_F(Failures, AbandonedWriterLeavesNothingBehind) {
    const auto source = ImageSource::open(goodJpeg());
    ASSERT_NE(source, nullptr);
    const auto image = Converter::decode(*source, std::nullopt);
    ASSERT_TRUE(image);
    {
        auto writer = ImageDestination::create(out / "never.png", OutputFormat(OutputFormat::png).typeIdentifier());
        ASSERT_NE(writer, nullptr);
        writer->addImage(*image, {});
    }
    EXPECT_EQ(entries(out), Names{});
    EXPECT_EQ(ImageDestination::create(out / "x.bmp", "com.microsoft.bmp"), nullptr);
    EXPECT_EQ(entries(out), Names{});
}

TEST_F(Failures, DataFilesAreNotImagesWhateverTheirName) {
    writeFile(dir / "data.csv", "1,2,3\n4,5,6\n7,8,9\n");
    writeFile(dir / "matrix.mat", "3 3\n1 2 3\n4 5 6\n7 8 9\n");
    writeFile(dir / "notes.txt", "Just some words.\n");
    writeFile(dir / "empty.png", "");
    // Random bytes that happen to start like a float PNM.
    writeFile(dir / "noise.bin", std::string("Pf\x9c\x03\xfe\x11garbage\x00\x7f", 15));
    for (const char* name : {"data.csv", "matrix.mat", "notes.txt", "empty.png", "missing.jpg", "noise.bin"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ImageSource::open(dir / name), nullptr);
        EXPECT_EQ(failureText(Converter::convert(dir / name, out / "data.png",
                                                 ConvertSettings{OutputFormat::png, 0.8, std::nullopt, false})),
                  "Can't read this image");
    }
    EXPECT_EQ(entries(out), Names{});
}

TEST_F(Failures, CancelledBeforeStartTouchesNothing) {
    std::stop_source stop;
    stop.request_stop();
    writeFile(out / "existing.jpg", "already here");
    EXPECT_EQ(failureText(Converter::convert(goodJpeg(), out / "existing.jpg", jpegSettings(), stop.get_token())),
              "Cancelled");
    EXPECT_EQ(readFile(out / "existing.jpg"), "already here");
    EXPECT_EQ(failureText(Converter::convert(goodJpeg(), out / "new.jpg", jpegSettings(), stop.get_token())),
              "Cancelled");
    // Cancelled before the source is even looked at.
    EXPECT_EQ(failureText(Converter::convert(dir / "missing.jpg", out / "new.jpg", jpegSettings(), stop.get_token())),
              "Cancelled");
    EXPECT_EQ(entries(out), Names{"existing.jpg"});
}

// A real, detailed JPEG cut off halfway.
TEST_F(Failures, TruncatedJpegIsADecodeFailure) {
    save(noise(256, 256), dir / "whole.jpg", "Q=90");
    const std::string whole = readFile(dir / "whole.jpg");
    ASSERT_GT(whole.size(), 20'000u);
    writeFile(dir / "half.jpg", std::string_view(whole).substr(0, whole.size() / 2));
    for (const auto format : OutputFormat::allCases()) {
        SCOPED_TRACE(formatName(format));
        EXPECT_EQ(failureText(Converter::convert(dir / "half.jpg", out / ("half." + std::string(format.fileExtension())),
                                                 ConvertSettings{format, 0.8, std::nullopt, false})),
                  "Couldn't decode the image");
    }
    EXPECT_EQ(entries(out), Names{});
}

// ASCII PNM readers fill missing samples instead of failing, slowly: this
// 84-byte file claims 86 x 25589 pixels (found by fuzzing).
TEST_F(Failures, AsciiPnmWithMissingSamplesIsADecodeFailure) {
    save(noise(64, 48), dir / "whole.ppm", "ascii");
    const std::string whole = readFile(dir / "whole.ppm");
    writeFile(dir / "cut.ppm", std::string_view(whole).substr(0, whole.size() * 9 / 10));
    fs::copy_file(fs::path(KRUMPLE_FUZZ_REGRESSIONS) / "ascii-ppm-claims-86x25589", dir / "claims.ppm");
    for (const char* name : {"cut.ppm", "claims.ppm"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(failureText(Converter::convert(dir / name, out / "out.jpg", jpegSettings())),
                  "Couldn't decode the image");
        EXPECT_EQ(Converter::loadForDisplay(dir / name, 128), std::nullopt);
    }
    EXPECT_EQ(entries(out), Names{});
    EXPECT_TRUE(Converter::convert(dir / "whole.ppm", out / "whole.jpg", jpegSettings()));
}

std::string encoded(const vips::VImage& image, const char* suffix) {
    void* buffer = nullptr;
    std::size_t length = 0;
    image.write_to_buffer(suffix, &buffer, &length);
    std::string bytes(static_cast<const char*>(buffer), length);
    g_free(buffer);
    return bytes;
}

TEST_F(Failures, DecompressionBombsAreRefused) {
    writeFile(dir / "bomb.png", pngClaiming(encoded(solid(8, 8, {90, 90, 90}), ".png"), 100'000, 100'000));
    writeFile(dir / "bomb.jpg", jpegClaiming(encoded(solid(16, 16, {90, 90, 90}), ".jpg"), 65'000, 65'000));
    for (const char* name : {"bomb.png", "bomb.jpg"}) {
        SCOPED_TRACE(name);
        if (const auto source = ImageSource::open(dir / name)) {
            EXPECT_EQ(source->thumbnail(128), std::nullopt);
        }
        EXPECT_EQ(Converter::loadForDisplay(dir / name, 128), std::nullopt);
        EXPECT_EQ(failureText(Converter::convert(dir / name, out / "bomb.jpg", jpegSettings())),
                  "Couldn't decode the image");
        EXPECT_EQ(failureText(Converter::convert(dir / name, out / "bomb.png",
                                                 ConvertSettings{OutputFormat::png, 0.8, 200, true})),
                  "Couldn't decode the image");
    }
    EXPECT_EQ(entries(out), Names{});
}

// The same doctored header with a sane size still opens: what is refused is the size.
TEST_F(Failures, DoctoredHeaderWithASaneSizeConverts) {
    writeFile(dir / "same.png", pngClaiming(encoded(solid(8, 8, {90, 90, 90}), ".png"), 8, 8));
    const auto source = ImageSource::open(dir / "same.png");
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(Converter::orientedSize(*source), (PixelSize{8, 8}));
    EXPECT_TRUE(Converter::convert(dir / "same.png", out / "same.jpg", jpegSettings()));
}

}  // namespace
}  // namespace krumple
