// Measuring and choosing by perceptual distance: the distance agrees with
// libjxl's own tool, tiles add up to the whole picture's, and neither search
// overshoots its goal or settles above the lowest quality that meets it.

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "butteraugli.h"
#include "fixtures.h"
#include "quality_search.h"

namespace krumple::test {
namespace {

using vips::VImage;

// Smooth shading under fine texture, as in a photo.
VImage photoLike(int width, int height) {
    const VImage xy = VImage::xyz(width, height);
    const VImage texture = VImage::gaussnoise(width, height, VImage::option()->set("sigma", 40.0)).gaussblur(1.2);
    return VImage::bandjoin({xy[0] * (200.0 / width) + texture * 0.5, xy[1] * (200.0 / height) + texture * 0.3,
                             texture})
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

std::vector<std::uint8_t> rgbOf(const fs::path& file) {
    VImage im = VImage::new_from_file(file.c_str()).colourspace(VIPS_INTERPRETATION_sRGB).cast(VIPS_FORMAT_UCHAR);
    im = im.extract_band(0, VImage::option()->set("n", 3)).copy_memory();
    const auto* data = static_cast<const std::uint8_t*>(vips_image_get_data(im.get_image()));
    return {data, data + static_cast<std::size_t>(im.width()) * static_cast<std::size_t>(im.height()) * 3};
}

double distanceOf(const fs::path& reference, const fs::path& output) {
    const VImage size = VImage::new_from_file(reference.c_str());
    const auto distance =
        butteraugliDistance(size.width(), size.height(), rgbOf(reference).data(), rgbOf(output).data());
    return distance.value_or(-1);
}

TEST(Butteraugli, AgreesWithLibjxlsOwnToolWithinFivePercent) {
    TempDir dir;
    save(photoLike(320, 240), dir / "reference.png");
    for (const char* q : {"Q=20", "Q=60", "Q=90"}) {
        save(VImage::new_from_file((dir / "reference.png").c_str()), dir / "distorted.jpg", q);
        const CommandResult tool =
            run("butteraugli_main " + shellQuoted(dir / "reference.png") + " " + shellQuoted(dir / "distorted.jpg"));
        ASSERT_EQ(tool.status, 0) << tool.output;
        const auto at = tool.output.find("3-norm: ");
        ASSERT_NE(at, std::string::npos) << tool.output;
        const double theirs = std::stod(tool.output.substr(at + 8));
        EXPECT_NEAR(distanceOf(dir / "reference.png", dir / "distorted.jpg"), theirs, 0.05 * theirs) << q;
    }
}

// A large picture is measured in tiles; their margins make them add up to
// the whole: the score and the map's worst spots.
TEST(Butteraugli, TilesAddUpToTheWholePicture) {
    TempDir dir;
    save(photoLike(1000, 700), dir / "reference.png");
    save(VImage::new_from_file((dir / "reference.png").c_str()), dir / "distorted.jpg", "Q=25");
    const auto a = rgbOf(dir / "reference.png"), b = rgbOf(dir / "distorted.jpg");
    DistanceMap map;
    const auto whole = butteraugliDistance(1000, 700, a.data(), b.data(), &map);
    ASSERT_TRUE(whole);

    const auto oneTile = tiledDistance(1000, 700, a.data(), b.data(), 1000, 0, 1);
    ASSERT_TRUE(oneTile);
    EXPECT_NEAR(oneTile->distance, *whole, 0.001 * *whole) << "the norm from the map is not the API's";

    const auto tiled = tiledDistance(1000, 700, a.data(), b.data(), 256, 64, 4);
    ASSERT_TRUE(tiled);
    EXPECT_NEAR(tiled->distance, *whole, 0.02 * *whole);
    ASSERT_EQ(tiled->map.width, 250);
    ASSERT_EQ(tiled->map.height, 175);
    const float worst = *std::max_element(map.values.begin(), map.values.end());
    EXPECT_NEAR(*std::max_element(tiled->map.values.begin(), tiled->map.values.end()), worst, 0.05 * worst);
    // Block maxima: the shrunk map's cell over the worst pixel holds it.
    const auto at = static_cast<std::size_t>(std::max_element(map.values.begin(), map.values.end()) - map.values.begin());
    const std::size_t x = at % 1000, y = at / 1000;
    EXPECT_GE(tiled->map.values[(y / 4) * 250 + x / 4], 0.95f * worst);

    // No seams: along the tiles' edges the map is the whole picture's, which
    // it would not be if tiles were measured without their surroundings.
    const auto unshrunk = tiledDistance(1000, 700, a.data(), b.data(), 256, 64, 1);
    ASSERT_TRUE(unshrunk);
    double off = 0, along = 0;
    for (std::size_t row = 0; row < 700; ++row)
        for (const std::size_t column : {255U, 256U, 511U, 512U, 767U, 768U}) {
            off += std::abs(unshrunk->map.values[row * 1000 + column] - map.values[row * 1000 + column]);
            along += map.values[row * 1000 + column];
        }
    EXPECT_LT(off, 0.02 * along);

    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(tiledDistance(1000, 700, a.data(), b.data(), 256, 64, 4, stop.get_token()));
}

// The comparison's score: the output at its own size against the source as
// the conversion shrank it.
TEST(Butteraugli, DifferenceOfAnOutputIsMeasuredAtItsOwnSize) {
    TempDir dir;
    save(photoLike(640, 480), dir / "source.png");
    ConvertSettings settings{OutputFormat::jpeg, 0.3, 320, false};
    ASSERT_TRUE(converted(dir / "source.png", dir / "small.jpg", settings));
    const auto small = Converter::difference(dir / "source.png", dir / "small.jpg", 100);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->map.width, 80);
    EXPECT_EQ(small->map.height, 60);
    save(VImage::new_from_file((dir / "source.png").c_str()).resize(0.5), dir / "shrunk.png");
    const double expected = distanceOf(dir / "shrunk.png", dir / "small.jpg");
    EXPECT_NEAR(small->distance, expected, 0.1 * expected);

    settings = ConvertSettings{OutputFormat::png, 1.0, {}, false};
    ASSERT_TRUE(converted(dir / "source.png", dir / "same.png", settings));
    const auto same = Converter::difference(dir / "source.png", dir / "same.png", 4096);
    ASSERT_TRUE(same);
    EXPECT_LT(same->distance, 0.01);
    EXPECT_EQ(same->map.width, 640);

    std::ofstream(dir / "broken.jpg") << "not a picture";
    EXPECT_FALSE(Converter::difference(dir / "source.png", dir / "broken.jpg", 100));
    EXPECT_FALSE(Converter::difference(dir / "missing.png", dir / "small.jpg", 100));
}

class Search : public ::testing::TestWithParam<OutputFormat> {
protected:
    Search() { save(photoLike(400, 300), src); }
    ConvertSettings settings() const { return ConvertSettings{GetParam(), 0.8, std::nullopt, false}; }
    fs::path out(const std::string& stem) const { return outputName(dir.path(), stem, GetParam()); }
    TempDir dir;
    fs::path src = dir / "source.png";
};

// Detail only between the tiles a large picture's distance is estimated on:
// the tiles alone would read it as smooth.
VImage detailBetweenTheTiles(int width, int height) {
    const VImage picture = photoLike(width, height), smooth = picture.gaussblur(6);
    VImage mask = (VImage::black(width, height) + 1).copy_memory();
    const TileGrid grid = probeTiles(width, height);
    for (const auto& [x, y] : grid.origins)
        mask.draw_rect({0.0}, x, y, grid.side, grid.side, VImage::option()->set("fill", true));
    return (smooth + (picture - smooth) * mask).cast(VIPS_FORMAT_UCHAR).copy(
        VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// Auto reports the distance of the file it wrote, over the whole picture, and
// chooses the lowest quality whose file meets the target: one percent lower misses.
TEST_P(Search, AutoChoosesTheLowestQualityWhoseWholePictureMeetsTheTarget) {
    save(detailBetweenTheTiles(1200, 800), dir / "detail.png");
    ConvertSettings automatic = settings();
    automatic.targetDistance = 1.6;
    const auto chosen = Converter::convert(dir / "detail.png", out("auto"), automatic);
    ASSERT_TRUE(chosen && chosen->written && chosen->quality && chosen->distance);
    const double written = Converter::difference(dir / "detail.png", out("auto"), 1).value().distance;
    EXPECT_NEAR(*chosen->distance, written, 0.001 * written);
    EXPECT_LE(written, 1.6);
    if (*chosen->quality > 0.05) {
        ConvertSettings lower = settings();
        lower.quality = *chosen->quality - 0.01;
        ASSERT_TRUE(Converter::convert(dir / "detail.png", out("lower"), lower));
        EXPECT_GT(Converter::difference(dir / "detail.png", out("lower"), 1).value().distance, 1.6) << lower.quality;
    }
}

// A ceiling keeps Auto's choice when its file fits, else takes the best
// quality that fits below it: never a file larger than Auto's alone.
TEST_P(Search, AutoUnderACeilingIsNeverLargerThanAuto) {
    ConvertSettings automatic = settings();
    automatic.targetDistance = 1.0;
    const auto plain = Converter::convert(src, out("auto"), automatic);
    ASSERT_TRUE(plain && plain->written && plain->quality);
    automatic.maxBytes = plain->size * 2;
    ASSERT_TRUE(Converter::convert(src, out("roomy"), automatic));
    EXPECT_TRUE(readFile(out("roomy")) == readFile(out("auto"))) << "a ceiling that fits changed the file";
    automatic.maxBytes = plain->size * 7 / 10;
    const auto capped = Converter::convert(src, out("capped"), automatic);
    ASSERT_TRUE(capped && capped->written && capped->quality && capped->distance);
    EXPECT_LE(static_cast<std::int64_t>(fs::file_size(out("capped"))), *automatic.maxBytes);
    EXPECT_LT(*capped->quality, *plain->quality);
    EXPECT_NEAR(*capped->distance, Converter::difference(src, out("capped"), 1).value().distance, 0.001 * *capped->distance);
}

TEST_P(Search, AtMostNBytesIsTheHighestQualityThatFits) {
    ConvertSettings fixed = settings();
    const auto plain = Converter::convert(src, out("fixed"), fixed);
    ASSERT_TRUE(plain);
    ConvertSettings capped = settings();
    capped.maxBytes = plain->size * 6 / 10;
    const auto chosen = Converter::convert(src, out("capped"), capped);
    ASSERT_TRUE(chosen && chosen->written && chosen->quality);
    EXPECT_LE(static_cast<std::int64_t>(fs::file_size(out("capped"))), *capped.maxBytes);
    // Unless it fills the cap within 3 % already, one percent higher would not fit.
    if (static_cast<double>(chosen->size) < closeEnough * static_cast<double>(*capped.maxBytes)) {
        fixed.quality = *chosen->quality + 0.01;
        ASSERT_TRUE(Converter::convert(src, out("higher"), fixed));
        EXPECT_GT(static_cast<std::int64_t>(fs::file_size(out("higher"))), *capped.maxBytes);
    }

    // Too small a cap: nothing written, and the smallest size reached is told.
    capped.maxBytes = 64;
    const auto missed = Converter::convert(src, out("missed"), capped);
    ASSERT_TRUE(missed);
    EXPECT_TRUE(!missed->written && missed->overCap);
    EXPECT_GT(missed->size, 64);
    EXPECT_FALSE(fs::exists(out("missed")));
}

std::vector<OutputFormat> lossyFormats() {
    std::vector<OutputFormat> formats;
    for (const OutputFormat f : OutputFormat::available())
        if (!f.isLossless()) formats.push_back(f);
    return formats;
}

INSTANTIATE_TEST_SUITE_P(LossyFormats, Search, ::testing::ValuesIn(lossyFormats()),
                         [](const auto& format) { return std::string(format.param.rawValue()); });

TEST(Search, PngHasNoQualityToSearchASizeCapOnlyChecks) {
    TempDir dir;
    save(photoLike(200, 150), dir / "source.jpg");
    ConvertSettings settings{OutputFormat::png, 0.8, std::nullopt, false};
    settings.targetDistance = 1.0;
    const auto automatic = Converter::convert(dir / "source.jpg", dir / "auto.png", settings);
    ASSERT_TRUE(automatic && automatic->written);
    EXPECT_FALSE(automatic->quality);
    settings.targetDistance.reset();
    settings.maxBytes = automatic->size - 1;
    const auto capped = Converter::convert(dir / "source.jpg", dir / "capped.png", settings);
    ASSERT_TRUE(capped);
    EXPECT_TRUE(!capped->written && capped->overCap && capped->size == automatic->size);
    EXPECT_FALSE(fs::exists(dir / "capped.png"));
}

// The boundary searches over synthetic measures: they find the lowest number
// meeting the target (exactly, from a guess), in few measures, and only return
// measured ones.
TEST(Search, TheLowestQualityMeetingATargetIsFoundInFewMeasures) {
    struct Case { const char* what; std::function<double(int)> measure; double target; int expected; };
    const std::vector<Case> cases{
        {"geometric", [](int q) { return 8.0 * std::pow(0.97, q); }, 1.6, 53},
        {"steep at the top", [](int q) { return q < 97 ? 5.0 : 0.5; }, 1.0, 97},
        {"flat then falling", [](int q) { return q < 30 ? 3.0 : 3.0 - (q - 30) * 0.05; }, 1.0, 70},
        {"every quality meets", [](int) { return 0.2; }, 1.0, 5},
        {"none meets", [](int) { return 4.0; }, 1.0, 99},
        // 50 is the lowest; 51 to 54 lie within 3 % under the target.
        {"gentle", [](int q) { return 2.0 - q * 0.01; }, 1.5, 50},
    };
    for (const Case& c : cases) {
        std::set<int> measured;
        const int found = lowestMeeting(5, 99, c.target, [&](int q) {
            measured.insert(q);
            return c.measure(q);
        });
        const double at = c.measure(found);
        if (at > c.target || at < closeEnough * c.target) {
            EXPECT_EQ(found, c.expected) << c.what;
        }
        EXPECT_GE(found, c.expected) << c.what;
        EXPECT_TRUE(measured.contains(found)) << c.what;
        EXPECT_LE(measured.size(), 8u) << c.what;
        // From a guess: exactly the lowest, proven by the one below it.
        for (const int guess : {5, 50, 99}) {
            std::set<int> seen;
            const int floor = floorFrom(guess, 5, 99, c.target, -0.03, [&](int q) {
                seen.insert(q);
                return c.measure(q);
            });
            EXPECT_EQ(floor, c.expected) << c.what << " from " << guess;
            EXPECT_TRUE(seen.contains(floor) && (floor == 5 || seen.contains(floor - 1) || c.measure(floor) > c.target))
                << c.what << " from " << guess;
            EXPECT_LE(seen.size(), 10u) << c.what << " from " << guess;
        }
    }
}

// Large pictures are measured on tiles: inside the picture, on the codecs'
// 32-pixel grid, at most 64 and at least 48, whatever the shape.
TEST(Search, ProbeTilesLieOnTheGridInsideThePicture) {
    struct Shape { int width, height; std::size_t tiles; };
    for (const Shape s : {Shape{700, 800, 0}, Shape{4000, 3000, 64}, Shape{12001, 600, 64}, Shape{300, 9000, 64},
                          Shape{20000, 97, 64}, Shape{95, 20000, 0}}) {
        const TileGrid grid = probeTiles(s.width, s.height);
        EXPECT_LE(grid.origins.size(), s.tiles) << s.width << "x" << s.height;
        EXPECT_GE(grid.origins.size(), s.tiles * 3 / 4) << s.width << "x" << s.height;
        if (s.tiles > 0) {
            EXPECT_EQ(grid.origins.size() % static_cast<std::size_t>(grid.columns), 0u);  // no empty cell
        }
        for (const auto& [x, y] : grid.origins) {
            EXPECT_TRUE(x % 32 == 0 && y % 32 == 0 && x >= 0 && y >= 0) << x << "," << y;
            EXPECT_TRUE(x + grid.side <= s.width && y + grid.side <= s.height) << x << "," << y;
        }
    }
}

}  // namespace
}  // namespace krumple::test
