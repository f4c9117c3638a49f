#include "butteraugli.h"

#include <jxl/butteraugli.h>
#include <jxl/thread_parallel_runner.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "decoding.h"

namespace krumple {

std::vector<std::uint8_t> butteraugliInput(const vips::VImage& image) {
    using vips::VImage;
    VImage im = Converter::toDisplaySRGB(image);
    if (im.bands() == 2 || im.bands() == 4)
        im = im.flatten(VImage::option()->set("background", std::vector<double>(static_cast<std::size_t>(im.bands() - 1), 255.0)))
                 .cast(VIPS_FORMAT_UCHAR);
    if (im.bands() == 1) im = im.bandjoin({im, im});
    im = im.copy_memory();
    const auto bytes = static_cast<std::size_t>(im.width()) * static_cast<std::size_t>(im.height()) * 3;
    std::vector<std::uint8_t> out(bytes);
    std::memcpy(out.data(), vips_image_get_data(im.get_image()), bytes);
    return out;
}

std::optional<double> butteraugliDistance(int width, int height, const std::uint8_t* reference,
                                          const std::uint8_t* distorted, DistanceMap* map, int threads) {
    if (width < 1 || height < 1) return std::nullopt;
    const std::unique_ptr<JxlButteraugliApi, decltype(&JxlButteraugliApiDestroy)> api(JxlButteraugliApiCreate(nullptr),
                                                                                      &JxlButteraugliApiDestroy);
    if (!api) return std::nullopt;
    std::unique_ptr<void, decltype(&JxlThreadParallelRunnerDestroy)> runner(nullptr, &JxlThreadParallelRunnerDestroy);
    if (threads > 1) {
        runner.reset(JxlThreadParallelRunnerCreate(nullptr, static_cast<std::size_t>(threads)));
        if (runner) JxlButteraugliApiSetParallelRunner(api.get(), JxlThreadParallelRunner, runner.get());
    }
    JxlButteraugliApiSetIntensityTarget(api.get(), butteraugliIntensityTarget);
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    const auto bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
    const std::unique_ptr<JxlButteraugliResult, decltype(&JxlButteraugliResultDestroy)> result(
        JxlButteraugliCompute(api.get(), static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), &format,
                              reference, bytes, &format, distorted, bytes),
        &JxlButteraugliResultDestroy);
    if (!result) return std::nullopt;
    if (map) {
        const float* values = nullptr;
        std::uint32_t stride = 0;
        JxlButteraugliResultGetDistmap(result.get(), &values, &stride);
        map->width = width;
        map->height = height;
        map->values.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y)
            std::copy_n(values + static_cast<std::size_t>(y) * stride, width,
                        map->values.begin() + static_cast<std::ptrdiff_t>(y) * width);
    }
    return JxlButteraugliResultGetDistance(result.get(), 3.0f);
}

void NormSums::add(float d) {
    const double cube = double(d) * d * d;
    cubes += cube;
    sixths += cube * cube;
    twelfths += cube * cube * cube * cube;
    ++pixels;
}

double NormSums::threeNorm() const {
    if (pixels == 0) return 0;
    const double n = static_cast<double>(pixels);
    return (std::cbrt(cubes / n) + std::pow(sixths / n, 1.0 / 6) + std::pow(twelfths / n, 1.0 / 12)) / 3;
}

std::optional<Converter::Difference> tiledDistance(int width, int height, const std::uint8_t* reference,
                                                   const std::uint8_t* distorted, int side, int margin,
                                                   int mapFactor, std::stop_token stop, int threads) {
    if (width < 1 || height < 1 || side < 1 || mapFactor < 1) return std::nullopt;
    Converter::Difference result;
    DistanceMap& shrunk = result.map;
    shrunk.width = (width + mapFactor - 1) / mapFactor;
    shrunk.height = (height + mapFactor - 1) / mapFactor;
    shrunk.values.assign(static_cast<std::size_t>(shrunk.width) * static_cast<std::size_t>(shrunk.height), 0.0f);
    NormSums sums;
    std::vector<std::uint8_t> a, b;
    DistanceMap tile;
    for (int top = 0; top < height; top += side) {
        for (int left = 0; left < width; left += side) {
            if (stop.stop_requested()) return std::nullopt;
            const int x0 = std::max(0, left - margin), y0 = std::max(0, top - margin);
            const int x1 = std::min(width, left + side + margin), y1 = std::min(height, top + side + margin);
            const int w = x1 - x0, h = y1 - y0;
            const std::uint8_t* ref = reference;
            const std::uint8_t* dist = distorted;
            if (w != width || h != height) {
                const auto row = static_cast<std::size_t>(w) * 3;
                a.resize(row * static_cast<std::size_t>(h));
                b.resize(a.size());
                for (int y = 0; y < h; ++y) {
                    const auto from = (static_cast<std::size_t>(y0 + y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x0)) * 3;
                    std::memcpy(a.data() + static_cast<std::size_t>(y) * row, reference + from, row);
                    std::memcpy(b.data() + static_cast<std::size_t>(y) * row, distorted + from, row);
                }
                ref = a.data();
                dist = b.data();
            }
            if (!butteraugliDistance(w, h, ref, dist, &tile, threads)) return std::nullopt;
            // Only the tile itself counts: its margin is another tile's.
            const int right = std::min(width, left + side), bottom = std::min(height, top + side);
            for (int y = top; y < bottom; ++y) {
                const float* values = tile.values.data() + static_cast<std::size_t>(y - y0) * static_cast<std::size_t>(w);
                float* into = shrunk.values.data() + static_cast<std::size_t>(y / mapFactor) * static_cast<std::size_t>(shrunk.width);
                for (int x = left; x < right; ++x) {
                    const float d = values[x - x0];
                    sums.add(d);
                    float& cell = into[x / mapFactor];
                    cell = std::max(cell, d);
                }
            }
        }
    }
    result.distance = sums.threeNorm();
    return result;
}

std::optional<Converter::Difference> pictureDistance(int width, int height, const std::uint8_t* reference,
                                                     const std::uint8_t* distorted, int mapFactor,
                                                     std::stop_token stop, int threads) {
    // Butteraugli takes about 240 bytes a pixel: a whole 18 MP photo would
    // need over 4 GB, tiles of 768 pixels take about 170 MB. On a 4.9 MP photo
    // the tiles' score matched the whole's to four digits even without a
    // margin; 32 pixels keep seams out of the map (a multiple of 8 keeps
    // Butteraugli's half-size pass on the same grid).
    constexpr std::int64_t measuredWhole = 1'000'000;
    constexpr int tileSide = 768, tileMargin = 32;
    if (std::int64_t{width} * height <= measuredWhole)
        return tiledDistance(width, height, reference, distorted, std::max(width, height), 0, mapFactor, stop, threads);
    return tiledDistance(width, height, reference, distorted, tileSide, tileMargin, mapFactor, stop, threads);
}

}  // namespace krumple
