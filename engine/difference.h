#pragma once

// How far an output is from its source as people see it: Butteraugli's
// distance over the whole output, and where the differences lie.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <vector>

namespace krumple {

// A per-pixel distance map, row after row.
struct DistanceMap {
    int width = 0;
    int height = 0;
    std::vector<float> values;
};

namespace Converter {

struct Difference {
    double distance = 0;  // the 3-norm over the whole output at its own size
    // Per pixel of the output, shrunk to at most `mapMaxPixel` on its longer
    // side: each value is the largest of the block it stands for, so a small
    // bad spot still shows.
    DistanceMap map;
};

// Compares `output` with `source` brought to the output's size the way a
// conversion brings it. Large pictures are measured in overlapping tiles, so
// memory stays bounded. nullopt when either won't decode, or when `stop` is
// requested (checked between tiles).
std::optional<Difference> difference(const std::filesystem::path& source, const std::filesystem::path& output,
                                     std::int64_t mapMaxPixel, std::stop_token stop = {}, int threads = 1);

// The most memory `difference` of these files is expected to take, in bytes,
// erring high. Reads the headers only; 0 when either won't open.
std::int64_t differenceMemoryEstimate(const std::filesystem::path& source, const std::filesystem::path& output);

}  // namespace Converter
}  // namespace krumple
