#pragma once

// HEIC and AVIF straight through libheif's C API, with encoder parameters
// libvips 8.14's heifsave does not pass on (x265's preset and tune, aom's
// options beyond speed).

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "rgb_image.h"

namespace krumple::bench {

enum class HeifCodec { hevc, av1 };

using EncoderParams = std::vector<std::pair<std::string, std::string>>;  // name, value

// Encodes `image` with libheif's default encoder for `codec` at lossy
// quality `q` (0-100) after setting `params` in order.
std::vector<std::uint8_t> encodeDirect(const Rgb& image, HeifCodec codec, int q, const EncoderParams& params);

// Decodes the primary image of a HEIF/AVIF file to 8-bit RGB.
Rgb decodeHeif(const std::vector<std::uint8_t>& file);

// Lists the encoder's parameters with their valid values and defaults.
void printEncoderParameters(HeifCodec codec, std::ostream& out);

}  // namespace krumple::bench
