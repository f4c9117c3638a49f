#pragma once

// Internal to the engine: Butteraugli, libjxl's perceptual distance between
// two pictures of one size. Below 1 a difference is hard to see; the higher,
// the more visible.

#include <cstdint>
#include <optional>
#include <stop_token>
#include <vector>

#include <vips/vips8>

#include "difference.h"

namespace krumple {

// The intensity target (screen nits) that libjxl's own butteraugli_main uses;
// the API's default differs, and so would every figure.
constexpr float butteraugliIntensityTarget = 80.0f;

// 8-bit sRGB, three bytes a pixel, flattened on white: what Butteraugli takes.
std::vector<std::uint8_t> butteraugliInput(const vips::VImage& image);

// The 3-norm the API reports, from a whole distance map's sums of d³, d⁶ and
// d¹²: the mean of the 3-, 6- and 12-norms. Lets tiles add up to the whole.
struct NormSums {
    double cubes = 0, sixths = 0, twelfths = 0;
    std::int64_t pixels = 0;
    void add(float d);
    double threeNorm() const;
};

// The 3-norm distance of `distorted` from `reference`: 8-bit sRGB, 3 bytes a
// pixel, rows without padding. `map`, when given, receives the distance map.
// nullopt when libjxl can't compute it (too small a picture, no memory).
std::optional<double> butteraugliDistance(int width, int height, const std::uint8_t* reference,
                                          const std::uint8_t* distorted, DistanceMap* map = nullptr,
                                          int threads = 1);

// The distance of two pictures of `width` × `height` (as butteraugliDistance
// takes them) measured in square tiles of `side` pixels, each computed with up
// to `margin` pixels of its surroundings that are then dropped. The map comes
// shrunk `mapFactor` times, each value the largest of its block. nullopt as
// butteraugliDistance, or when `stop` is requested between tiles.
std::optional<Converter::Difference> tiledDistance(int width, int height, const std::uint8_t* reference,
                                                   const std::uint8_t* distorted, int side, int margin,
                                                   int mapFactor, std::stop_token stop = {}, int threads = 1);

// The distance over the whole picture, as every figure Krumple shows is
// measured: whole up to 1 MP, above that in tiles of 768 pixels with 32 of
// margin, which keep memory bounded and match the whole within 0.1 %. The map
// comes shrunk `mapFactor` times, as tiledDistance's.
std::optional<Converter::Difference> pictureDistance(int width, int height, const std::uint8_t* reference,
                                                     const std::uint8_t* distorted, int mapFactor,
                                                     std::stop_token stop = {}, int threads = 1);

}  // namespace krumple
