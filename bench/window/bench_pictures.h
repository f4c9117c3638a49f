#pragma once

#include <filesystem>

namespace krumple::bench {

// A folder of `count` copies of one small JPEG (`side` pixels wide), made once
// and kept under `cache` for later runs. Returns the folder.
std::filesystem::path pictureFolder(const std::filesystem::path& cache, const char* name, int count, int side);

}  // namespace krumple::bench
