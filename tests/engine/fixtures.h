#pragma once

// Pictures made for the engine tests, and outputs read back without the
// engine: by each format's reference decoder (dwebp, djxl, heif-convert,
// avifdec, ImageMagick) and by exiftool.

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <vips/vips8>

#include "converter.h"
#include "output_format.h"
#include "test_support.h"

namespace krumple::test {

using Pixel = std::vector<double>;

// Exit status (-1 when the command could not run) and standard output.
struct CommandResult {
    int status = -1;
    std::string output;
};
CommandResult run(const std::string& commandLine);
std::string shellQuoted(const fs::path& path);

// An 8-bit sRGB picture filled with `ink` (3 values, or 4 with alpha), and
// `base` with a filled rectangle.
vips::VImage solid(int width, int height, const Pixel& ink);
vips::VImage withRect(const vips::VImage& base, int left, int top, int width, int height, const Pixel& ink);
// Noise around mid grey: something encoders cannot make tiny.
vips::VImage noise(int width, int height);
// `options` is libvips' bracket syntax without the brackets ("Q=90").
void save(const vips::VImage& image, const fs::path& file, std::string_view options = {});
void exiftoolWrite(const fs::path& file, const std::vector<std::string>& arguments);

// Blue, with a red square in the top-left corner and a green one in the
// top-right corner, each a quarter of the shorter side: it shows which way up it is.
inline const Pixel red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255};
vips::VImage markedPicture(int width, int height);
// markedPicture saved as a JPEG tagged with `orientation` (0: no tag) and the
// camera's Exif pixel dimensions.
fs::path makeOrientedJpeg(const fs::path& file, int orientation, int storedWidth, int storedHeight);

// A picture brought to 8-bit sRGB through its own colour profile, alpha kept.
struct Decoded {
    vips::VImage image;
    int width() const { return image.width(); }
    int height() const { return image.height(); }
    bool hasAlpha() const { return image.bands() == 2 || image.bands() == 4; }
    Pixel at(int x, int y) const { return image.getpoint(x, y); }
};
// By the extension's reference decoder; fails the test when the decoder fails.
std::optional<Decoded> decodeIndependently(const fs::path& file, const fs::path& workDir);

// What is wrong with the marks of a markedPicture stored with `orientation`
// once shown upright; empty when all four corners are right.
std::string uprightMarkProblems(const Decoded& picture, int orientation, double tolerance);

// Largest difference over the first three channels.
double colourDistance(const Pixel& a, const Pixel& b);
std::string describe(const Pixel& pixel);

// Tags as exiftool reports them with -G1 -n.
struct Tag {
    std::string group, name, value;
};
std::vector<Tag> readTags(const fs::path& file);
std::optional<std::string> tagValue(const std::vector<Tag>& tags, std::string_view name);

// Converts, and checks the byte count reported against the file written.
::testing::AssertionResult converted(const fs::path& src, const fs::path& dst, const ConvertSettings& settings);
// A display bitmap, to be read like a decoded file.
Decoded displayed(const Bitmap& bitmap);

inline fs::path outputName(const fs::path& folder, std::string_view stem, OutputFormat format) {
    return folder / (std::string(stem) + "." + std::string(format.fileExtension()));
}

}  // namespace krumple::test

namespace krumple {
// Test names and messages show formats by their raw value.
void PrintTo(OutputFormat format, std::ostream* os);
}  // namespace krumple
