#pragma once

// Internal to the engine: Butteraugli, libjxl's perceptual distance between
// two pictures of one size. Below 1 a difference is hard to see; the higher,
// the more visible.

#include <cstdint>
#include <optional>
#include <vector>

#include <vips/vips8>

namespace krumple {

// The intensity target (screen nits) that libjxl's own butteraugli_main uses;
// the API's default differs, and so would every figure.
constexpr float butteraugliIntensityTarget = 80.0f;

// A per-pixel distance map, row after row.
struct DistanceMap {
    int width = 0;
    int height = 0;
    std::vector<float> values;
};

// 8-bit sRGB, three bytes a pixel, flattened on white: what Butteraugli takes.
std::vector<std::uint8_t> butteraugliInput(const vips::VImage& image);

// The 3-norm distance of `distorted` from `reference`: 8-bit sRGB, 3 bytes a
// pixel, rows without padding. `map`, when given, receives the distance map.
// nullopt when libjxl can't compute it (too small a picture, no memory).
std::optional<double> butteraugliDistance(int width, int height, const std::uint8_t* reference,
                                          const std::uint8_t* distorted, DistanceMap* map = nullptr,
                                          int threads = 1);

}  // namespace krumple
