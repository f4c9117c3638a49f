#pragma once

// Internal: JPEG XL animations through libjxl, which libvips 8.14 neither
// writes nor reads beyond the first frame.

#include <optional>

#include <vips/vips8>

#include "encoder.h"

namespace krumple::jxl {

// A bare codestream of `stacked`'s frames (libvips' "page-height", "delay"
// in ms and "loop", 0 for ever), 8-bit sRGB, at our codec quality `q` or lossless.
std::optional<Blob> animationFrom(const vips::VImage& stacked, int q, bool lossless);

// Every frame of a JPEG XL animation, composed, stacked as libvips stacks
// them, 8-bit; nullopt for a still or a file libjxl refuses.
std::optional<vips::VImage> framesOf(const Blob& file);

// The frames of a JPEG XL file: 1 for a still, 0 when libjxl refuses it.
int frameCount(const Blob& file);

}  // namespace krumple::jxl
