#include "rgb_image.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include <vips/vips8>

namespace krumple::bench {

Rgb decodePhoto(const std::filesystem::path& path, int maxWidth) {
    using vips::VImage;
    VImage image = maxWidth > 0
                       ? VImage::thumbnail(path.c_str(), maxWidth,
                                           VImage::option()->set("height", 100000)->set("size", VIPS_SIZE_DOWN))
                       : VImage::new_from_file(path.c_str()).autorot();
    image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    if (image.has_alpha()) image = image.flatten(VImage::option()->set("background", 255.0));
    image = image.cast(VIPS_FORMAT_UCHAR);
    if (image.bands() != 3) throw std::runtime_error("not RGB after conversion: " + path.string());
    Rgb out{image.width(), image.height(), {}};
    std::size_t size = 0;
    void* data = image.write_to_memory(&size);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out.pixels.assign(bytes, bytes + size);
    g_free(data);
    return out;
}

void writePpm(const Rgb& image, const std::filesystem::path& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << image.width << ' ' << image.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(image.pixels.data()), static_cast<std::streamsize>(image.pixels.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

Rgb readPpm(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    Rgb image;
    in >> magic >> image.width >> image.height >> maxValue;
    in.get();  // the one whitespace byte before the pixels
    if (!in || magic != "P6" || maxValue != 255 || image.width <= 0 || image.height <= 0)
        throw std::runtime_error("not an 8-bit P6 file: " + path.string());
    image.pixels.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3);
    in.read(reinterpret_cast<char*>(image.pixels.data()), static_cast<std::streamsize>(image.pixels.size()));
    if (!in) throw std::runtime_error("short file: " + path.string());
    return image;
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::vector<std::uint8_t>& bytes, const std::filesystem::path& path) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace krumple::bench
