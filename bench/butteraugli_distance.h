#pragma once

#include "rgb_image.h"

namespace krumple::bench {

// The intensity target butteraugli_main uses by default (screen nits), so
// the figures match that tool's.
constexpr float butteraugliIntensityTarget = 80.0f;

// Butteraugli 3-norm of `distorted` against `reference` (same size, sRGB),
// through libjxl's API on two threads.
double butteraugli3Norm(const Rgb& reference, const Rgb& distorted);

}  // namespace krumple::bench
