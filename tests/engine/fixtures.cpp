#include "fixtures.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>

#include <sys/wait.h>

#include <gtest/gtest.h>

#include "image_io.h"

namespace krumple::test {

using vips::VImage;

void initImageLibrary() { ensureImageLibrary(); }

CommandResult run(const std::string& commandLine) {
    CommandResult result;
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.status = (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string shellQuoted(const fs::path& path) {
    std::string out = "'";
    for (const char c : path.string()) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "krumple-engine-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    // A test may leave a read-only folder behind; make everything removable first.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_directory(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
}

fs::path ScratchDir::subdir(std::string_view name) const {
    const fs::path dir = path_ / name;
    fs::create_directories(dir);
    return dir;
}

std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void writeFile(const fs::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

VImage solid(int width, int height, const std::vector<double>& ink) {
    initImageLibrary();
    const VImage black = VImage::black(width, height, VImage::option()->set("bands", static_cast<int>(ink.size())));
    return black.new_from_image(ink).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

VImage withRect(const VImage& base, int left, int top, int width, int height, const std::vector<double>& ink) {
    return base.insert(solid(width, height, ink), left, top);
}

VImage noise(int width, int height) {
    initImageLibrary();
    std::vector<VImage> bands;
    for (int i = 0; i < 3; ++i)
        bands.push_back(VImage::gaussnoise(width, height, VImage::option()->set("mean", 128.0)->set("sigma", 50.0)));
    return VImage::bandjoin(bands)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

void save(const VImage& image, const fs::path& file, std::string_view options) {
    std::string name = file.string();
    if (!options.empty()) name += "[" + std::string(options) + "]";
    image.write_to_file(name.c_str());
}

void exiftoolWrite(const fs::path& file, const std::vector<std::string>& arguments) {
    std::string command = "exiftool -q -q -overwrite_original";
    for (const auto& argument : arguments) command += " " + shellQuoted(argument);
    command += " " + shellQuoted(file) + " 2>&1";
    const CommandResult result = run(command);
    if (result.status != 0)
        throw std::runtime_error("exiftool failed on " + file.string() + ": " + result.output);
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

std::string uprightMarkProblems(const PixelReader& pixelAt, int width, int height, int orientation,
                                double tolerance) {
    // Where the stored top-left (red) and top-right (green) corners appear
    // when the picture is shown upright, per the EXIF orientation.
    enum Corner { topLeft, topRight, bottomLeft, bottomRight };
    Corner redCorner = topLeft;
    Corner greenCorner = topRight;
    switch (orientation) {
    case 3: redCorner = bottomRight; greenCorner = bottomLeft; break;
    case 6: redCorner = topRight; greenCorner = bottomRight; break;
    case 8: redCorner = bottomLeft; greenCorner = topLeft; break;
    default: break;
    }
    const int mark = std::min(width, height) / 4;
    const char* names[] = {"top-left", "top-right", "bottom-left", "bottom-right"};
    std::string problems;
    for (const Corner corner : {topLeft, topRight, bottomLeft, bottomRight}) {
        const int x = (corner == topLeft || corner == bottomLeft) ? mark / 2 : width - 1 - mark / 2;
        const int y = (corner == topLeft || corner == topRight) ? mark / 2 : height - 1 - mark / 2;
        const std::vector<double>& want = corner == redCorner ? red : corner == greenCorner ? green : blue;
        const std::vector<double> got = pixelAt(x, y);
        if (colourDistance(got, want) > tolerance)
            problems += std::string(names[corner]) + " is " + describe(got) + ", expected " + describe(want) + "; ";
    }
    return problems;
}

fs::path srgbProfile() { return "/usr/share/color/icc/colord/sRGB.icc"; }
fs::path proPhotoProfile() { return "/usr/share/color/icc/colord/ProPhotoRGB.icc"; }
fs::path adobeRgbProfile() { return "/usr/share/color/icc/colord/AdobeRGB1998.icc"; }

namespace {

std::string trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return std::string(s.substr(first, last - first + 1));
}

std::string lowerExtension(const fs::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

fs::path uniqueName(const fs::path& workDir, std::string_view stem, std::string_view ext) {
    // Never reuse a name: libvips may hand back a cached image for a path it has seen.
    static std::atomic<int> counter{0};
    return workDir / (std::string(stem) + "-" + std::to_string(++counter) + std::string(ext));
}

}  // namespace

std::vector<Tag> readTags(const fs::path& file) {
    const CommandResult result = run("exiftool -a -G1 -s -n " + shellQuoted(file) + " 2>/dev/null");
    std::vector<Tag> tags;
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line.front() != '[') continue;
        const auto groupEnd = line.find(']');
        const auto colon = line.find(" : ", groupEnd);
        if (groupEnd == std::string::npos || colon == std::string::npos) continue;
        tags.push_back({line.substr(1, groupEnd - 1), trimmed(std::string_view(line).substr(groupEnd + 1, colon - groupEnd - 1)),
                        trimmed(std::string_view(line).substr(colon + 3))});
    }
    return tags;
}

std::optional<std::string> tagValue(const std::vector<Tag>& tags, std::string_view name, std::string_view group) {
    for (const auto& tag : tags)
        if (tag.name == name && (group.empty() || tag.group == group)) return tag.value;
    return std::nullopt;
}

bool hasTagStartingWith(const std::vector<Tag>& tags, std::string_view namePrefix) {
    return std::any_of(tags.begin(), tags.end(), [&](const Tag& t) { return t.name.starts_with(namePrefix); });
}

bool hasGroupStartingWith(const std::vector<Tag>& tags, std::string_view groupPrefix) {
    return std::any_of(tags.begin(), tags.end(), [&](const Tag& t) { return t.group.starts_with(groupPrefix); });
}

std::optional<std::string> iccDescription(const fs::path& file, const fs::path& workDir) {
    fs::path profileHolder = file;
    if (lowerExtension(file) == ".jxl") {
        // exiftool cannot see a profile inside a JPEG XL codestream; djxl hands back the original one.
        const fs::path icc = uniqueName(workDir, "orig", ".icc");
        const fs::path png = uniqueName(workDir, "icc-probe", ".png");
        run("djxl " + shellQuoted(file) + " " + shellQuoted(png) + " --orig_icc_out=" + shellQuoted(icc) + " >/dev/null 2>&1");
        std::error_code ec;
        if (!fs::exists(icc, ec) || fs::file_size(icc, ec) == 0) return std::nullopt;
        profileHolder = icc;
    }
    const CommandResult result = run("exiftool -s3 -ICC_Profile:ProfileDescription " + shellQuoted(profileHolder) + " 2>/dev/null");
    std::string description = trimmed(result.output);
    if (result.status != 0 || description.empty()) return std::nullopt;
    return description;
}

std::vector<double> Decoded::at(int x, int y) const { return image.getpoint(x, y); }

std::optional<Decoded> decodeIndependently(const fs::path& file, const fs::path& workDir) {
    initImageLibrary();
    const std::string ext = lowerExtension(file);
    const fs::path png = uniqueName(workDir, "decoded", ".png");
    std::string command;
    if (ext == ".webp")
        command = "dwebp " + shellQuoted(file) + " -o " + shellQuoted(png);
    else if (ext == ".jxl")
        // Left alone, djxl may hand back 8-bit linear light, which bands; ask for sRGB.
        command = "djxl " + shellQuoted(file) + " " + shellQuoted(png) + " --color_space=RGB_D65_SRG_Rel_SRG";
    else if (ext == ".heic" || ext == ".heif")
        command = "heif-convert " + shellQuoted(file) + " " + shellQuoted(png);
    else if (ext == ".avif")
        command = "avifdec " + shellQuoted(file) + " " + shellQuoted(png);
    else
        // ImageMagick converts from the file's own profile (CMYK included) to sRGB.
        command = "convert " + shellQuoted(file) + "[0] -profile " + shellQuoted(srgbProfile()) + " " + shellQuoted(png);
    const CommandResult result = run(command + " 2>&1");
    std::error_code ec;
    if (result.status != 0 || !fs::exists(png, ec)) {
        ADD_FAILURE() << "reference decoder failed on " << file << ": " << command << "\n" << result.output;
        return std::nullopt;
    }

    VImage image = VImage::new_from_file(png.c_str());
    // dwebp drops the colour profile: take it from the WebP file itself.
    std::optional<fs::path> profile;
    if (image.get_typeof(VIPS_META_ICC_NAME) == 0 && ext == ".webp") {
        const fs::path icc = uniqueName(workDir, "webp", ".icc");
        const CommandResult extracted = run("exiftool -b -ICC_Profile " + shellQuoted(file) + " 2>/dev/null");
        if (extracted.status == 0 && !extracted.output.empty()) {
            writeFile(icc, extracted.output);
            profile = icc;
        }
    }
    const auto depth8 = [] { return VImage::option()->set("depth", 8); };
    if (image.get_typeof(VIPS_META_ICC_NAME) != 0)
        image = image.icc_transform("srgb", depth8()->set("embedded", true));
    else if (profile)
        image = image.icc_transform("srgb", depth8()->set("input_profile", profile->c_str()));
    else
        image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    if (image.format() != VIPS_FORMAT_UCHAR) image = image.cast(VIPS_FORMAT_UCHAR);
    return Decoded{image.copy_memory()};
}

double colourDistance(const std::vector<double>& a, const std::vector<double>& b) {
    double worst = 0;
    for (std::size_t i = 0; i < 3 && i < a.size() && i < b.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    if (a.size() < 3 || b.size() < 3) return 1000;
    return worst;
}

std::string describe(const std::vector<double>& pixel) {
    std::string out = "(";
    for (std::size_t i = 0; i < pixel.size(); ++i) {
        if (i) out += ", ";
        out += std::to_string(static_cast<int>(std::lround(pixel[i])));
    }
    return out + ")";
}

std::string formatName(OutputFormat format) { return std::string(format.rawValue()); }

}  // namespace krumple::test

namespace krumple {
void PrintTo(OutputFormat format, std::ostream* os) { *os << format.rawValue(); }
}  // namespace krumple
