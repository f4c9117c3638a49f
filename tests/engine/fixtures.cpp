#include "fixtures.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <sstream>

#include <sys/wait.h>

#include <gtest/gtest.h>

#include "image_io.h"

namespace krumple::test {

using vips::VImage;

CommandResult run(const std::string& commandLine) {
    CommandResult result;
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer{};
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) result.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.status = (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string shellQuoted(const fs::path& path) {
    std::string out = "'";
    for (const char c : path.string()) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

VImage solid(int width, int height, const Pixel& ink) {
    ensureImageLibrary();
    const VImage black = VImage::black(width, height, VImage::option()->set("bands", static_cast<int>(ink.size())));
    return black.new_from_image(ink).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

VImage withRect(const VImage& base, int left, int top, int width, int height, const Pixel& ink) {
    return base.insert(solid(width, height, ink), left, top);
}

VImage noise(int width, int height) {
    ensureImageLibrary();
    std::vector<VImage> bands;
    for (int i = 0; i < 3; ++i)
        bands.push_back(VImage::gaussnoise(width, height, VImage::option()->set("mean", 128.0)->set("sigma", 50.0)));
    return VImage::bandjoin(bands).cast(VIPS_FORMAT_UCHAR).copy(
        VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

void save(const VImage& image, const fs::path& file, std::string_view options) {
    image.write_to_file((file.string() + (options.empty() ? "" : "[" + std::string(options) + "]")).c_str());
}

void exiftoolWrite(const fs::path& file, const std::vector<std::string>& arguments) {
    std::string command = "exiftool -q -q -overwrite_original";
    for (const auto& argument : arguments) command += " " + shellQuoted(argument);
    const CommandResult result = run(command + " " + shellQuoted(file) + " 2>&1");
    if (result.status != 0) throw std::runtime_error("exiftool failed on " + file.string() + ": " + result.output);
}

VImage markedPicture(int width, int height) {
    const int mark = std::min(width, height) / 4;
    return withRect(withRect(solid(width, height, blue), 0, 0, mark, mark, red), width - mark, 0, mark, mark, green);
}

fs::path makeOrientedJpeg(const fs::path& file, int orientation, int storedWidth, int storedHeight) {
    save(markedPicture(storedWidth, storedHeight), file, "Q=95");
    std::vector<std::string> tags = {"-ExifImageWidth=" + std::to_string(storedWidth),
                                     "-ExifImageHeight=" + std::to_string(storedHeight)};
    if (orientation != 0) tags.push_back("-Orientation#=" + std::to_string(orientation));
    exiftoolWrite(file, tags);
    return file;
}

std::string uprightMarkProblems(const Decoded& picture, int orientation, double tolerance) {
    // Where the stored top-left (red) and top-right (green) corners show once
    // upright, as {x, y} with 0 for left or top and 1 for right or bottom.
    static constexpr int shown[9][2][2] = {{{0, 0}, {1, 0}}, {{0, 0}, {1, 0}}, {{1, 0}, {0, 0}},
                                           {{1, 1}, {0, 1}}, {{0, 1}, {1, 1}}, {{0, 0}, {0, 1}},
                                           {{1, 0}, {1, 1}}, {{1, 1}, {1, 0}}, {{0, 1}, {0, 0}}};
    const auto& [redAt, greenAt] = shown[orientation];
    const int w = picture.width(), h = picture.height(), mark = std::min(w, h) / 4;
    std::string problems;
    for (const int cx : {0, 1}) {
        for (const int cy : {0, 1}) {
            const Pixel& want = (cx == redAt[0] && cy == redAt[1]) ? red : (cx == greenAt[0] && cy == greenAt[1]) ? green : blue;
            const Pixel got = picture.at(cx ? w - 1 - mark / 2 : mark / 2, cy ? h - 1 - mark / 2 : mark / 2);
            if (colourDistance(got, want) > tolerance)
                problems += std::string(cy ? "bottom-" : "top-") + (cx ? "right" : "left") + " is " + describe(got) + "; ";
        }
    }
    return problems;
}

::testing::AssertionResult converted(const fs::path& src, const fs::path& dst, const ConvertSettings& settings) {
    const auto result = Converter::convert(src, dst, settings);
    if (!result) return ::testing::AssertionFailure() << description(result.error());
    std::error_code ec;
    const auto size = fs::file_size(dst, ec);
    if (ec || !result->written || result->size != static_cast<std::int64_t>(size))
        return ::testing::AssertionFailure() << "reported " << result->size << " bytes, the file has " << (ec ? 0 : size);
    return ::testing::AssertionSuccess();
}

Decoded displayed(const Bitmap& bitmap) {
    return Decoded{VImage::new_from_memory(const_cast<std::uint8_t*>(bitmap.pixels->data()), bitmap.pixels->size(), bitmap.width, bitmap.height,
                                           bitmap.channels, VIPS_FORMAT_UCHAR)
                       .copy_memory()};
}

std::optional<Decoded> decodeIndependently(const fs::path& file, const fs::path& workDir) {
    ensureImageLibrary();
    // Never reuse a name: libvips may hand back a cached image for a path it has seen.
    static std::atomic<int> counter{0};
    fs::path png = workDir / ("decoded-" + std::to_string(++counter) + ".png");
    const std::string ext = file.extension().string(), in = shellQuoted(file), out = shellQuoted(png);
    std::string command = "convert " + in + "[0] -intent relative -profile /usr/share/color/icc/colord/sRGB.icc " + out;
    if (ext == ".webp") command = "dwebp " + in + " -o " + out;
    // Left alone, djxl may hand back 8-bit linear light, which bands.
    if (ext == ".jxl") command = "djxl " + in + " " + out + " --color_space=RGB_D65_SRG_Rel_SRG";
    if (ext == ".heic") command = "heif-convert " + in + " " + out;
    if (ext == ".avif") command = "avifdec " + in + " " + out;
    CommandResult result = run(command + " 2>&1");
    std::error_code ec;
    // Their PNG writer (libpng) refuses some valid profiles, such as one with
    // a D65 illuminant in its header; JPEG at full quality keeps any profile.
    if ((ext == ".heic" || ext == ".avif") && (result.status != 0 || fs::file_size(png, ec) == 0)) {
        png.replace_extension(".jpg");
        result = run((ext == ".heic" ? "heif-convert -q 100 " : "avifdec -q 100 ") + in + " " + shellQuoted(png) + " 2>&1");
    }
    if (result.status != 0 || !fs::exists(png)) {
        ADD_FAILURE() << "reference decoder failed on " << file << ": " << command << "\n" << result.output;
        return std::nullopt;
    }
    VImage image = VImage::new_from_file(png.c_str());
    // dwebp drops the colour profile: take it from the WebP file itself.
    if (ext == ".webp") {
        const CommandResult profile = run("exiftool -b -ICC_Profile " + in + " 2>/dev/null");
        image = image.copy();
        if (!profile.output.empty())
            vips_image_set_blob_copy(image.get_image(), VIPS_META_ICC_NAME, profile.output.data(), profile.output.size());
    }
    // At 16 bits first, so that 16-bit alpha is scaled down with the colours, not clipped.
    const int depth = image.format() == VIPS_FORMAT_USHORT ? 16 : 8;
    if (image.get_typeof(VIPS_META_ICC_NAME) != 0)
        image = image.icc_transform("srgb", VImage::option()->set("depth", depth)->set("embedded", true));
    image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    return Decoded{image.cast(VIPS_FORMAT_UCHAR).copy_memory()};
}

double colourDistance(const Pixel& a, const Pixel& b) {
    if (a.size() < 3 || b.size() < 3) return 1000;
    double worst = 0;
    for (std::size_t i = 0; i < 3; ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

std::string describe(const Pixel& pixel) {
    std::string out;
    for (const double v : pixel) out += (out.empty() ? "(" : ", ") + std::to_string(std::lround(v));
    return out + ")";
}

std::vector<Tag> readTags(const fs::path& file) {
    std::istringstream lines(run("exiftool -a -G1 -s -n " + shellQuoted(file) + " 2>/dev/null").output);
    std::vector<Tag> tags;
    for (std::string line; std::getline(lines, line);) {
        const auto groupEnd = line.find(']'), colon = line.find(" : ");
        if (line.empty() || line[0] != '[' || groupEnd == std::string::npos || colon == std::string::npos) continue;
        std::istringstream name(line.substr(groupEnd + 1, colon - groupEnd - 1));
        Tag tag{line.substr(1, groupEnd - 1), {}, line.substr(colon + 3)};
        name >> tag.name;
        tags.push_back(tag);
    }
    return tags;
}

std::optional<std::string> tagValue(const std::vector<Tag>& tags, std::string_view name) {
    const auto it = std::find_if(tags.begin(), tags.end(), [&](const Tag& t) { return t.name == name; });
    return it == tags.end() ? std::nullopt : std::optional(it->value);
}

}  // namespace krumple::test

namespace krumple {
void PrintTo(OutputFormat format, std::ostream* os) { *os << format.rawValue(); }
}  // namespace krumple
