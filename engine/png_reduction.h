#pragma once

// Internal: a picture stored in the fewest bits PNG allows without changing
// a pixel: no alpha where every pixel is opaque, grey where R = G = B, 8 bits
// where every 16-bit sample is a multiple of 257, and an exact palette for at
// most 256 colours.

#include <optional>

#include <vips/vips8>

#include "encoder.h"

namespace krumple::png {

// At most 256 colours, as indices into a palette.
struct Palette {
    vips::VImage indices;  // one band, 0 to the colours' count less one
    Blob plte;             // the PLTE chunk's data: red, green, blue for each index
    Blob trns;             // the tRNS chunk's: alpha for the first indices; empty when all are opaque
    int bits = 8;          // 1, 2, 4 or 8: the fewest that hold every index
};

struct Reduction {
    vips::VImage image;  // alpha, grey and depth reduced
    std::optional<Palette> palette;  // of `image`, when it has at most 256 colours
};

// `picture` must be in memory: every pixel is read.
Reduction reduced(const vips::VImage& picture);

// Whether `decoded` (a PNG read back) has exactly `picture`'s pixels, alpha
// included, whatever colour type and depth stored them.
bool samePixels(const vips::VImage& picture, vips::VImage decoded);

}  // namespace krumple::png
