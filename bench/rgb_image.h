#pragma once

// An 8-bit sRGB RGB picture in memory, and the plain files the HEIF sweep
// hands between its processes.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace krumple::bench {

struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // 3 bytes a pixel, rows without padding
};

// Decodes a photo upright to 8-bit sRGB RGB, shrunk to at most `maxWidth`
// pixels wide (0: full size). Needs libvips started.
Rgb decodePhoto(const std::filesystem::path& path, int maxWidth);

// Binary PPM (P6): quick to read, and butteraugli_main reads it too.
void writePpm(const Rgb& image, const std::filesystem::path& path);
Rgb readPpm(const std::filesystem::path& path);

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);
void writeBytes(const std::vector<std::uint8_t>& bytes, const std::filesystem::path& path);

}  // namespace krumple::bench
