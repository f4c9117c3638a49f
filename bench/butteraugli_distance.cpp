#include "butteraugli_distance.h"

#include <stdexcept>

#include "butteraugli.h"

namespace krumple::bench {

double butteraugli3Norm(const Rgb& reference, const Rgb& distorted) {
    if (reference.width != distorted.width || reference.height != distorted.height)
        throw std::runtime_error("butteraugli: sizes differ");
    const auto distance = butteraugliDistance(reference.width, reference.height, reference.pixels.data(),
                                              distorted.pixels.data(), nullptr, 2);
    if (!distance) throw std::runtime_error("butteraugli: compute failed");
    return *distance;
}

}  // namespace krumple::bench
