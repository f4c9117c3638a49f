#pragma once

// Internal: HEIC and AVIF written through libheif's C API, so the encoders
// can set what libvips' heifsave does not pass on (x265's preset, tune and
// own options).

#include <string>
#include <utility>
#include <vector>

#include "encoder.h"

namespace krumple::heif {

enum class Codec { hevc, av1 };

// libheif encoder parameters by name, set in this order after the quality and
// the chroma subsampling.
using Parameters = std::vector<std::pair<std::string, std::string>>;

// Encodes the image as one HEIF file and hands it whole to `out`. 8-bit
// images are stored at 8 bits, 16-bit ones at 10 (HEIC) or 12 (AVIF); grey
// becomes RGB; alpha, the
// colour profile and the non-empty EXIF and XMP blocks are kept. Chroma is
// 4:2:0, or 4:4:4 from Q 90, as heifsave chooses. Throws vips::VError when
// libheif fails or the pixels cannot be read.
void write(const vips::VImage& image, const MetadataBlocks& metadata, const EncodeOptions& options, Codec codec,
           const Parameters& parameters, EncodeTarget& out);

}  // namespace krumple::heif
