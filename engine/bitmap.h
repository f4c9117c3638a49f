#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace krumple {

// An immutable, shared 8-bit sRGB picture for display: RGB or RGBA,
// rows packed (stride = width * channels).
struct Bitmap {
    int width = 0;
    int height = 0;
    int channels = 0;  // 3 or 4
    std::shared_ptr<const std::vector<std::uint8_t>> pixels;

    bool isNull() const { return !pixels || width <= 0 || height <= 0; }
    bool hasAlpha() const { return channels == 4; }
    std::size_t stride() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(channels); }
    const std::uint8_t* pixel(int x, int y) const {
        return pixels->data() + static_cast<std::size_t>(y) * stride() + static_cast<std::size_t>(x) * static_cast<std::size_t>(channels);
    }
};

struct PixelSize {
    double width = 0;
    double height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// A display image with the source's upright pixel size.
struct LoadedImage {
    Bitmap image;
    PixelSize pixelSize;
};

}  // namespace krumple
