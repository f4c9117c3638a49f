#pragma once

#include <filesystem>
#include <vector>

namespace krumple {

// Sorts by full path the way file browsers list names: locale-aware, case
// ignored, runs of digits by value (img2 before img10). Paths that collate
// equal are ordered by their bytes, so the order never depends on the
// directory's own order.
void sortNaturally(std::vector<std::filesystem::path>& paths);

}  // namespace krumple
