#pragma once

// Fixture making and independent read-back for the engine tests. Pictures are
// made here with libvips and exiftool; outputs are read back with each
// format's own reference tools (dwebp, djxl, heif-convert, avifdec,
// ImageMagick, exiftool), never with the engine.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <vips/vips8>

#include "forged_headers.h"

#include "output_format.h"

namespace krumple::test {

namespace fs = std::filesystem;

// libvips set up the way the engine sets it up.
void initImageLibrary();

struct CommandResult {
    int status = -1;  // exit status; -1 when the command could not run
    std::string output;
};
// Runs a shell command line and returns its standard output.
CommandResult run(const std::string& commandLine);
std::string shellQuoted(const fs::path& path);

// A fresh folder removed with everything in it at the end of the test.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(std::string_view name) const { return path_ / name; }
    // A new empty folder inside this one.
    fs::path subdir(std::string_view name) const;

private:
    fs::path path_;
};

// File names in a folder, sorted.
std::vector<std::string> entries(const fs::path& folder);

void writeFile(const fs::path& file, std::string_view bytes);
std::string readFile(const fs::path& file);

// An 8-bit sRGB picture filled with `ink` (3 values, or 4 with alpha).
vips::VImage solid(int width, int height, const std::vector<double>& ink);
// `base` with a filled rectangle.
vips::VImage withRect(const vips::VImage& base, int left, int top, int width, int height,
                      const std::vector<double>& ink);
// 8-bit sRGB noise around mid grey: something encoders cannot make tiny.
vips::VImage noise(int width, int height);
// Saves with libvips; `options` is libvips' bracket syntax without brackets ("Q=90").
void save(const vips::VImage& image, const fs::path& file, std::string_view options = {});
// Edits tags in place with exiftool (each argument like "-Orientation#=6").
void exiftoolWrite(const fs::path& file, const std::vector<std::string>& arguments);

// A picture that shows which way up it is: blue, with a red square in its
// top-left corner and a green one in its top-right corner, each a quarter of
// the shorter side.
inline const std::vector<double> red{255, 0, 0};
inline const std::vector<double> green{0, 255, 0};
inline const std::vector<double> blue{0, 0, 255};
vips::VImage markedPicture(int width, int height);
// markedPicture saved as a JPEG, stored sideways or not as `orientation`
// says (0: no orientation tag), with the camera's Exif pixel dimensions.
fs::path makeOrientedJpeg(const fs::path& file, int orientation, int storedWidth, int storedHeight);
// What is wrong with the marks of a markedPicture stored with `orientation`
// when it is shown upright; empty when all four corners are right.
using PixelReader = std::function<std::vector<double>(int x, int y)>;
std::string uprightMarkProblems(const PixelReader& pixelAt, int width, int height, int orientation,
                                double tolerance);

// Colour profiles shipped by Debian's colord-data.
fs::path srgbProfile();
fs::path proPhotoProfile();
fs::path adobeRgbProfile();

// One tag as exiftool reports it with -G1 -n.
struct Tag {
    std::string group;
    std::string name;
    std::string value;
};
std::vector<Tag> readTags(const fs::path& file);
// The first tag of that name (in `group` when given).
std::optional<std::string> tagValue(const std::vector<Tag>& tags, std::string_view name,
                                    std::string_view group = {});
bool hasTagStartingWith(const std::vector<Tag>& tags, std::string_view namePrefix);
bool hasGroupStartingWith(const std::vector<Tag>& tags, std::string_view groupPrefix);

// The description of the colour profile in an image file, read without the engine.
std::optional<std::string> iccDescription(const fs::path& file, const fs::path& workDir);

// A picture decoded by its format's reference decoder and brought to 8-bit
// sRGB through its own colour profile; alpha is kept.
struct Decoded {
    vips::VImage image;
    int width() const { return image.width(); }
    int height() const { return image.height(); }
    bool hasAlpha() const { return image.bands() == 2 || image.bands() == 4; }
    // Channel values at a pixel: R, G, B and alpha when present.
    std::vector<double> at(int x, int y) const;
};
// Decodes `file` by its extension: dwebp, djxl, heif-convert, avifdec, or
// ImageMagick for everything else. Fails the current test when the decoder fails.
std::optional<Decoded> decodeIndependently(const fs::path& file, const fs::path& workDir);

// Largest difference over the first three channels.
double colourDistance(const std::vector<double>& a, const std::vector<double>& b);
std::string describe(const std::vector<double>& pixel);

// Test-name text for a format ("jpeg").
std::string formatName(OutputFormat format);

// CRC-32 as PNG chunks use it.

}  // namespace krumple::test

namespace krumple {
// Test output names formats by their raw value.
void PrintTo(OutputFormat format, std::ostream* os);
}  // namespace krumple
