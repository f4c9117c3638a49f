#include "ssim.h"

#include <array>
#include <cmath>
#include <stdexcept>

namespace krumple::bench {

namespace {
using vips::VImage;

constexpr int radius = 5;
constexpr double sigma = 1.5;
constexpr double c1 = (0.01 * 255) * (0.01 * 255);
constexpr double c2 = (0.03 * 255) * (0.03 * 255);

VImage window() {
    std::array<double, 2 * radius + 1> taps{};
    double sum = 0;
    for (int i = -radius; i <= radius; ++i) {
        const double t = std::exp(-(i * i) / (2 * sigma * sigma));
        taps[static_cast<std::size_t>(i + radius)] = t;
        sum += t;
    }
    for (double& t : taps) t /= sum;
    return VImage::new_matrix(static_cast<int>(taps.size()), 1, taps.data(), static_cast<int>(taps.size()));
}

VImage luma(const VImage& picture) {
    VImage rgb = picture;
    if (rgb.has_alpha()) rgb = rgb.flatten();
    if (rgb.bands() != 3) throw std::runtime_error("SSIM wants RGB pictures");
    return rgb.cast(VIPS_FORMAT_DOUBLE)
        .recomb(VImage::new_matrixv(3, 1, 0.299, 0.587, 0.114))
        .cast(VIPS_FORMAT_DOUBLE)
        .copy_memory();
}

// Every term is reused, so each is computed once into memory.
VImage blurred(const VImage& x, const VImage& w) {
    return x.convsep(w, VImage::option()->set("precision", VIPS_PRECISION_FLOAT)).copy_memory();
}
}  // namespace

double meanSsim(const VImage& reference, const VImage& distorted) {
    if (reference.width() != distorted.width() || reference.height() != distorted.height())
        throw std::runtime_error("SSIM wants pictures of the same size");
    if (reference.width() <= 2 * radius || reference.height() <= 2 * radius)
        throw std::runtime_error("picture too small for SSIM");
    const VImage w = window();
    const VImage x = luma(reference);
    const VImage y = luma(distorted);
    const VImage muX = blurred(x, w);
    const VImage muY = blurred(y, w);
    const VImage varX = blurred(x * x, w) - muX * muX;
    const VImage varY = blurred(y * y, w) - muY * muY;
    const VImage covXY = blurred(x * y, w) - muX * muY;
    const VImage map = ((2 * muX * muY + c1) * (2 * covXY + c2)) /
                       ((muX * muX + muY * muY + c1) * (varX + varY + c2));
    return map.crop(radius, radius, map.width() - 2 * radius, map.height() - 2 * radius).avg();
}

}  // namespace krumple::bench
