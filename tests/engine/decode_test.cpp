// Reading images: upright size from the properties, bounded upright decodes,
// and display loading.

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "converter.h"
#include "fixtures.h"
#include "image_io.h"

namespace krumple {
namespace {

using namespace krumple::test;

class Decoding : public ::testing::Test {
protected:
    ScratchDir dir;

    std::unique_ptr<ImageSource> orientedSource(int orientation, int width = 400, int height = 300) {
        const fs::path file = dir / ("oriented-" + std::to_string(orientation) + "-" + std::to_string(width) + ".jpg");
        makeOrientedJpeg(file, orientation, width, height);
        auto source = ImageSource::open(file);
        EXPECT_NE(source, nullptr) << file;
        return source;
    }
};

PixelReader readerOf(const Image& image) {
    return [image](int x, int y) { return image.pixels.getpoint(x, y); };
}

PixelReader readerOf(const Bitmap& bitmap) {
    return [bitmap](int x, int y) {
        const std::uint8_t* p = bitmap.pixel(x, y);
        return std::vector<double>{double(p[0]), double(p[1]), double(p[2])};
    };
}

TEST_F(Decoding, OrientedSizeFollowsTheOrientationTag) {
    struct Case {
        int orientation;
        PixelSize size;
    };
    for (const Case c : {Case{0, {400, 300}}, Case{1, {400, 300}}, Case{3, {400, 300}}, Case{6, {300, 400}},
                         Case{8, {300, 400}}}) {
        SCOPED_TRACE("orientation " + std::to_string(c.orientation));
        const auto source = orientedSource(c.orientation);
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(Converter::orientedSize(*source), std::optional<PixelSize>(c.size));
        EXPECT_EQ(numberAt(source->properties(), prop::pixelWidth), 400.0);
        EXPECT_EQ(numberAt(source->properties(), prop::pixelHeight), 300.0);
        if (c.orientation != 0) {
            EXPECT_EQ(numberAt(source->properties(), prop::orientation), c.orientation);
        }
    }
}

TEST_F(Decoding, FullSizeDecodeIsUpright) {
    for (const int orientation : {1, 3, 6, 8}) {
        SCOPED_TRACE("orientation " + std::to_string(orientation));
        const auto source = orientedSource(orientation);
        ASSERT_NE(source, nullptr);
        const auto image = Converter::decode(*source, std::nullopt);
        ASSERT_TRUE(image);
        const bool quarterTurn = orientation >= 5;
        EXPECT_EQ(image->width(), quarterTurn ? 300 : 400);
        EXPECT_EQ(image->height(), quarterTurn ? 400 : 300);
        EXPECT_EQ(uprightMarkProblems(readerOf(*image), image->width(), image->height(), orientation, 12), "");
    }
}

TEST_F(Decoding, LimitBoundsTheLongerSideAndNeverUpscales) {
    const auto landscape = orientedSource(1);
    ASSERT_NE(landscape, nullptr);
    const auto small = Converter::decode(*landscape, 200);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->width(), 200);
    EXPECT_EQ(small->height(), 150);
    EXPECT_EQ(uprightMarkProblems(readerOf(*small), 200, 150, 1, 16), "");

    const auto notUpscaled = Converter::decode(*landscape, 1000);
    ASSERT_TRUE(notUpscaled);
    EXPECT_EQ(notUpscaled->width(), 400);
    EXPECT_EQ(notUpscaled->height(), 300);

    const auto sideways = orientedSource(6);
    ASSERT_NE(sideways, nullptr);
    const auto upright = Converter::decode(*sideways, 200);
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->width(), 150);
    EXPECT_EQ(upright->height(), 200);
    EXPECT_EQ(uprightMarkProblems(readerOf(*upright), 150, 200, 6, 16), "");
}

TEST_F(Decoding, DisplayLoadScalesDownOnlyAndReportsTheSourceSize) {
    const fs::path landscape = makeOrientedJpeg(dir / "landscape.jpg", 1, 400, 300);
    const auto loaded = Converter::loadForDisplay(landscape, 128);
    ASSERT_TRUE(loaded);
    ASSERT_FALSE(loaded->image.isNull());
    EXPECT_EQ(loaded->image.width, 128);
    EXPECT_EQ(loaded->image.height, 96);
    EXPECT_EQ(loaded->pixelSize, (PixelSize{400, 300}));
    ASSERT_TRUE(loaded->image.channels == 3 || loaded->image.channels == 4);
    EXPECT_EQ(loaded->image.pixels->size(), loaded->image.stride() * 96u);
    EXPECT_EQ(uprightMarkProblems(readerOf(loaded->image), 128, 96, 1, 16), "");

    const auto notUpscaled = Converter::loadForDisplay(landscape, 4096);
    ASSERT_TRUE(notUpscaled);
    EXPECT_EQ(notUpscaled->image.width, 400);
    EXPECT_EQ(notUpscaled->image.height, 300);
    EXPECT_EQ(notUpscaled->pixelSize, (PixelSize{400, 300}));

    const fs::path sideways = makeOrientedJpeg(dir / "sideways.jpg", 6, 400, 300);
    const auto turned = Converter::loadForDisplay(sideways, 128);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->image.width, 96);
    EXPECT_EQ(turned->image.height, 128);
    EXPECT_EQ(turned->pixelSize, (PixelSize{300, 400}));
    EXPECT_EQ(uprightMarkProblems(readerOf(turned->image), 96, 128, 6, 16), "");
}

TEST_F(Decoding, DisplayLoadKeepsTransparency) {
    const fs::path file = dir / "half-clear.png";
    save(withRect(solid(64, 32, {0, 0, 0, 0}), 32, 0, 32, 32, {200, 30, 30, 255}), file);
    const auto loaded = Converter::loadForDisplay(file, 128);
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->image.channels, 4);
    EXPECT_EQ(loaded->image.pixel(8, 16)[3], 0);
    EXPECT_EQ(loaded->image.pixel(48, 16)[3], 255);
    EXPECT_EQ(loaded->image.pixel(48, 16)[0], 200);
}

TEST_F(Decoding, DisplayLoadGivesNothingForWhatIsNoImage) {
    writeFile(dir / "empty.png", "");
    writeFile(dir / "notes.txt", "Nothing to see here.\nJust words.\n");
    writeFile(dir / "notes.jpg", "Nothing to see here.\nJust words.\n");
    writeFile(dir / "data.csv", "1,2,3\n4,5,6\n7,8,9\n");
    fs::create_directory(dir / "folder.png");
    for (const char* name : {"missing.jpg", "empty.png", "notes.txt", "notes.jpg", "data.csv", "folder.png"}) {
        EXPECT_EQ(Converter::loadForDisplay(dir / name, 128), std::nullopt) << name;
    }
}

}  // namespace
}  // namespace krumple
