#include "hostile_files.h"

#include <vips/vips8>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>
#include <string_view>

#include "forged_headers.h"
#include "image_io.h"

namespace krumple::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

const std::vector<std::string> unreadable{"Can't read this image"};
const std::vector<std::string> refused{"Can't read this image", "Couldn't decode the image"};
const std::vector<std::string> converts{"done"};

Bytes bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void write(const fs::path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Not flat, so every codec writes real entropy-coded data to cut into.
vips::VImage picture(int width, int height) {
    const vips::VImage xyz = vips::VImage::xyz(width, height);
    const vips::VImage noise = vips::VImage::gaussnoise(width, height, vips::VImage::option()->set("sigma", 30.0));
    return vips::VImage::bandjoin({xyz[0] + noise, xyz[1] * 2, noise})
        .cast(VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

}  // namespace

std::vector<HostileFile> makeHostileFiles(const fs::path& folder, unsigned seed) {
    ensureImageLibrary();
    fs::create_directories(folder);
    std::vector<HostileFile> files;
    std::mt19937 random(seed);
    const auto add = [&](const std::string& name, std::string_view bytes, const std::vector<std::string>& allowed,
                         int w = 0, int h = 0) {
        write(folder / name, bytes);
        files.push_back({folder / name, allowed, w, h});
    };
    const auto randomBytes = [&](std::size_t n) {
        Bytes b(n, '\0');
        for (auto& c : b) c = static_cast<char>(random() & 0xFF);
        return b;
    };

    // Real files of every readable kind, to damage.
    const vips::VImage base = picture(256, 192);
    const fs::path scratch = folder / ".originals";
    fs::create_directories(scratch);
    const std::array<std::pair<const char*, const char*>, 7> kinds{{
        {"jpg", "[Q=85]"}, {"png", ""}, {"webp", "[Q=80]"}, {"heic", "[Q=50]"},
        {"tif", ""}, {"avif", "[Q=50]"}, {"jxl", "[Q=80]"}}};
    std::vector<std::pair<std::string, Bytes>> originals;
    for (const auto& [ext, options] : kinds) {
        const fs::path file = scratch / (std::string("whole.") + ext);
        base.write_to_file((file.string() + options).c_str());
        originals.emplace_back(ext, bytesOf(file));
    }
    fs::remove_all(scratch);

    for (const auto& [ext, bytes] : originals) {
        add("whole-" + ext + "." + ext, bytes, converts, 256, 192);
        add("empty-" + ext + "." + ext, "", unreadable);
        for (const int percent : {10, 50, 90})
            add("cut" + std::to_string(percent) + "-" + ext + "." + ext, bytes.substr(0, bytes.size() * static_cast<std::size_t>(percent) / 100), refused);
        add("random-" + ext + "." + ext, randomBytes(4096), unreadable);
        // The right signature followed by noise.
        add("noise-" + ext + "." + ext, bytes.substr(0, 16) + randomBytes(4096), refused);
    }
    const auto original = [&](const std::string& ext) {
        return std::find_if(originals.begin(), originals.end(), [&](const auto& o) { return o.first == ext; })->second;
    };
    add("huge-png.png", pngClaiming(original("png"), 0x7FFFFFFF, 0x7FFFFFFF), refused);
    add("huge-jpeg.jpg", jpegClaiming(original("jpg"), 0xFFFF, 0xFFFF), refused);
    add("huge-webp.webp", webpClaiming(original("webp"), 16383, 16383), refused);
    add("huge-heic.heic", heicClaiming(original("heic"), 0x7FFFFFFF, 0x7FFFFFFF), refused);
    add("huge-tiff.tif", tiffClaiming(original("tif"), 0x7FFFFFFF, 0x7FFFFFFF), refused);

    // Valid but unusual pictures convert whole.
    const auto save = [&](const std::string& name, const vips::VImage& image, const std::string& options = "") {
        const fs::path file = folder / name;
        image.write_to_file((file.string() + options).c_str());
        files.push_back({file, converts, image.width(), image.height()});
    };
    save("deep16.png", base.cast(VIPS_FORMAT_USHORT) * 257);
    save("deep16.tif", (base.cast(VIPS_FORMAT_USHORT) * 257).copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16)));
    save("cmyk.jpg", base.bandjoin(base[0]).copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_CMYK)));
    save("gray.jpg", base[1]);
    save("palette.png", base, "[palette,colours=16]");
    save("alpha.png", base.bandjoin(base[0]));
    save("gray-alpha.png", base[1].bandjoin(base[0]));
    return files;
}

}  // namespace krumple::test
