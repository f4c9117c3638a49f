#include "butteraugli_distance.h"

#include <jxl/butteraugli.h>
#include <jxl/thread_parallel_runner.h>

#include <memory>
#include <stdexcept>

namespace krumple::bench {

double butteraugli3Norm(const Rgb& reference, const Rgb& distorted) {
    if (reference.width != distorted.width || reference.height != distorted.height)
        throw std::runtime_error("butteraugli: sizes differ");
    const std::unique_ptr<JxlButteraugliApi, decltype(&JxlButteraugliApiDestroy)> api(JxlButteraugliApiCreate(nullptr),
                                                                                      &JxlButteraugliApiDestroy);
    const std::unique_ptr<void, decltype(&JxlThreadParallelRunnerDestroy)> runner(
        JxlThreadParallelRunnerCreate(nullptr, 2), &JxlThreadParallelRunnerDestroy);
    if (!api || !runner) throw std::runtime_error("butteraugli: cannot start");
    JxlButteraugliApiSetParallelRunner(api.get(), JxlThreadParallelRunner, runner.get());
    JxlButteraugliApiSetIntensityTarget(api.get(), butteraugliIntensityTarget);
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    const std::unique_ptr<JxlButteraugliResult, decltype(&JxlButteraugliResultDestroy)> result(
        JxlButteraugliCompute(api.get(), static_cast<uint32_t>(reference.width),
                              static_cast<uint32_t>(reference.height), &format, reference.pixels.data(),
                              reference.pixels.size(), &format, distorted.pixels.data(), distorted.pixels.size()),
        &JxlButteraugliResultDestroy);
    if (!result) throw std::runtime_error("butteraugli: compute failed");
    return JxlButteraugliResultGetDistance(result.get(), 3.0f);
}

}  // namespace krumple::bench
