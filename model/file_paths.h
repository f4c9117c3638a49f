#pragma once

#include <filesystem>
#include <string>

namespace krumple {

// Absolute and lexically normal, without a trailing separator: the identity of
// a file for de-duplication and naming. Bytes are kept as they are.
std::filesystem::path standardized(const std::filesystem::path& path);
// standardized(path) as its native byte string.
std::string standardizedPath(const std::filesystem::path& path);

}  // namespace krumple
