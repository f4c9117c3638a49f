#include "butteraugli.h"

#include <jxl/butteraugli.h>
#include <jxl/thread_parallel_runner.h>

#include <algorithm>
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

}  // namespace krumple
