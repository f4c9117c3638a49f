#pragma once

// Which files are meant to be pictures, whether or not they can be read.

#include <array>
#include <filesystem>
#include <string_view>

namespace krumple {

// Extensions (lowercase, no dot) of the pictures Krumple reads.
inline constexpr std::array<std::string_view, 23> imageExtensions{
    "jpg", "jpeg", "jpe", "jfif", "png", "heic", "heif", "hif", "avif", "jxl", "webp", "tif",
    "tiff", "gif", "bmp", "jp2", "j2k", "ppm", "pgm", "pbm", "pnm", "pfm", "apng"};

// True when the file's first bytes are a picture format's signature or its
// name ends in one of imageExtensions: a damaged picture is still listed, so
// that it fails with a reason instead of vanishing.
bool meantAsImage(const std::filesystem::path& file);

}  // namespace krumple
