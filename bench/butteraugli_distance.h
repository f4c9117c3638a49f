#pragma once

#include "butteraugli.h"
#include "rgb_image.h"

namespace krumple::bench {

// Butteraugli 3-norm of `distorted` against `reference` (same size, sRGB),
// through libjxl's API on two threads.
double butteraugli3Norm(const Rgb& reference, const Rgb& distorted);

}  // namespace krumple::bench
