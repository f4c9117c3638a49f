#pragma once

// Real encoded pictures whose headers are rewritten to claim another pixel
// size: decompression bombs, and lies a loader must survive.

#include <cstdint>
#include <string>
#include <string_view>

namespace krumple::test {

std::uint32_t crc32(std::string_view bytes);

// Each takes a file's bytes as libvips writes that format and returns them
// with the claimed size; the rest of the file is untouched.
std::string pngClaiming(std::string png, std::uint32_t width, std::uint32_t height);
std::string jpegClaiming(std::string jpeg, std::uint16_t width, std::uint16_t height);
std::string webpClaiming(std::string webp, std::uint16_t width, std::uint16_t height);  // at most 16383
std::string heicClaiming(std::string heic, std::uint32_t width, std::uint32_t height);  // AVIF too
std::string tiffClaiming(std::string tiff, std::uint32_t width, std::uint32_t height);

}  // namespace krumple::test
