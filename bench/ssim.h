#pragma once

// Structural similarity, for comparing encoders at matched visual quality.

#include <vips/vips8>

namespace krumple::bench {

// Mean SSIM of the luma (Rec. 601 weights on 8-bit sRGB) of two pictures of
// the same size: Gaussian window σ 1.5 (11 taps), K1 0.01, K2 0.03, L 255.
// The 5-pixel border, where the window would reach past the picture, is left out.
double meanSsim(const vips::VImage& reference, const vips::VImage& distorted);

}  // namespace krumple::bench
