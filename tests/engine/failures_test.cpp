// Inputs the engine must refuse, each with its fixed text, without a display
// bitmap and without leaving a file, whole or partial, behind; and the
// controls that show what is refused is the damage.

#include <optional>
#include <string>
#include <vector>

#include <glib.h>
#include <gtest/gtest.h>

#include "fixtures.h"
#include "forged_headers.h"

namespace krumple::test {
namespace {

std::string encoded(const vips::VImage& image, const char* suffix) {
    void* buffer = nullptr;
    std::size_t length = 0;
    image.write_to_buffer(suffix, &buffer, &length);
    std::string bytes(static_cast<const char*>(buffer), length);
    g_free(buffer);
    return bytes;
}

TEST(Failures, EachHasItsTextAndLeavesNothingBehind) {
    TempDir dir;
    // A data format libvips reads; only image formats are let in.
    writeText(dir / "matrix.mat", "3 3\n1 2 3\n4 5 6\n7 8 9\n");
    // Starts like a float PNM without a size, which the loader would read as 1 x 1.
    writeText(dir / "noise.bin", std::string("Pf\x9c\x03\xfe\x11garbage\x00\x7f", 15));
    // A real, detailed JPEG cut off halfway.
    const std::string jpeg = encoded(noise(256, 256), ".jpg[Q=90]");
    writeText(dir / "half.jpg", jpeg.substr(0, jpeg.size() / 2));
    // ASCII PNM readers fill missing samples instead of failing, slowly; the
    // fuzzer's find is an 84-byte file that claims 86 x 25589 pixels.
    save(noise(64, 48), dir / "whole.ppm", "ascii");
    const std::string ppm = readFile(dir / "whole.ppm");
    writeText(dir / "cut.ppm", ppm.substr(0, ppm.size() * 9 / 10));
    fs::copy_file(fs::path(KRUMPLE_FUZZ_REGRESSIONS) / "ascii-ppm-claims-86x25589", dir / "claims.ppm");
    // A decompression bomb, and the same forgery with a sane size.
    const std::string small = encoded(solid(16, 16, {90, 90, 90}), ".jpg");
    writeText(dir / "bomb.jpg", jpegClaiming(small, 65'000, 65'000));
    writeText(dir / "sane.jpg", jpegClaiming(small, 16, 16));
    // Wider than WebP can hold: the encoder itself fails.
    save(solid(16500, 4, {10, 120, 200}), dir / "wide.png");
    // ImageMagick would draw these, turning them into the picture they name;
    // they are not images, whatever their names say.
    const std::string other = (dir / "sane.jpg").native();
    const std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' width='16' "
                            "height='16'><image xlink:href='" + other + "' width='16' height='16'/></svg>";
    for (const char* name : {"points.svg", "points.jpg"}) writeText(dir / name, svg);
    writeText(dir / "draws.mvg", "push graphic-context\nviewbox 0 0 16 16\nimage over 0,0 16,16 '" + other + "'\npop graphic-context\n");
    writeText(dir / "pixels.txt", "# ImageMagick pixel enumeration: 2,1,255,srgb\n0,0: (255,0,0)\n1,0: (0,0,255)\n");

    struct Case {
        const char* name;
        OutputFormat format;
        std::optional<std::int64_t> maxWidth;
        std::string_view outcome;
        bool displays;
    };
    const std::string_view unreadable = "Can't read this image", undecodable = "Couldn't decode the image";
    std::vector<Case> cases = {
        {"matrix.mat", OutputFormat::png, {}, unreadable, false},
        {"noise.bin", OutputFormat::png, {}, unreadable, false},
        {"points.svg", OutputFormat::png, {}, unreadable, false},
        {"points.jpg", OutputFormat::jpeg, {}, unreadable, false},
        {"draws.mvg", OutputFormat::png, {}, unreadable, false},
        {"pixels.txt", OutputFormat::png, {}, unreadable, false},
        {"cut.ppm", OutputFormat::jpeg, {}, undecodable, false},
        {"claims.ppm", OutputFormat::jpeg, {}, undecodable, false},
        {"whole.ppm", OutputFormat::jpeg, {}, "done", true},
        {"bomb.jpg", OutputFormat::jpeg, {}, undecodable, false},
        {"bomb.jpg", OutputFormat::png, 200, undecodable, false},
        {"sane.jpg", OutputFormat::png, {}, "done", true},
        {"wide.png", OutputFormat::webp, {}, "Couldn't write the output", true},
    };
    // The decoder fails while the encoder pulls the pixels, in every format.
    for (const OutputFormat format : OutputFormat::allCases()) cases.push_back({"half.jpg", format, {}, undecodable, false});

    long written = 0;
    fs::create_directory(dir / "out");
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.name << " to " << c.format.rawValue());
        const fs::path dst = outputName(dir / "out", std::to_string(&c - cases.data()), c.format);
        const auto result = Converter::convert(dir / c.name, dst, ConvertSettings{c.format, 0.8, c.maxWidth, false});
        EXPECT_EQ(result ? "done" : description(result.error()), c.outcome);
        EXPECT_EQ(Converter::loadForDisplay(dir / c.name, 128).has_value(), c.displays);
        written += result ? 1 : 0;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), written);
}

}  // namespace
}  // namespace krumple::test
