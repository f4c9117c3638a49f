#include <algorithm>
#include <cmath>

#include "converter.h"
#include "decoding.h"

namespace krumple::Converter {

namespace {

// Peak resident memory of one conversion: a base plus bytes per output pixel,
// fitted over 1–72 MP and raised until every measured point is at least 10 %
// under it (krumple-bench-memory; bench/README.md, "Memory per conversion").
struct Cost {
    double base;      // bytes
    double perPixel;  // bytes
};

Cost costOf(OutputFormat format, bool lossless, bool deep) {
    constexpr double MB = 1 << 20;
    switch (format) {
    case OutputFormat::jxl: return lossless ? Cost{96 * MB, deep ? 80.0 : 64.0} : Cost{96 * MB, deep ? 64.0 : 52.0};
    case OutputFormat::avif: return {96 * MB, deep ? 40.0 : 30.0};
    case OutputFormat::heic: return {96 * MB, deep ? 36.0 : 26.0};
    case OutputFormat::webp: return {64 * MB, lossless ? 24.0 : 17.0};
    case OutputFormat::png: return {64 * MB, deep ? 8.0 : 4.0};
    case OutputFormat::jpeg: break;
    }
    return {64 * MB, 4.0};
}

}  // namespace

std::int64_t memoryEstimate(const std::filesystem::path& src, const ConvertSettings& settings) {
    const auto source = ImageSource::open(src);
    if (!source) return 0;
    const auto size = orientedSize(*source);
    if (!size) return 0;
    double pixels = size->width * size->height;
    if (settings.maxWidth && static_cast<double>(*settings.maxWidth) < size->width) {
        const double scale = static_cast<double>(*settings.maxWidth) / size->width;
        pixels *= scale * scale;
    }
    const bool deep = source->isDeep();
    const Cost cost = costOf(settings.format, settings.format.isLosslessAt(settings.quality), deep);
    double bytes = cost.base + cost.perPixel * pixels;
    // Turning a picture decodes all of it into memory first.
    if (numberAt(source->properties(), prop::orientation).value_or(1) > 1)
        bytes += size->width * size->height * (deep ? 8.0 : 4.0);
    return static_cast<std::int64_t>(std::min(bytes, 9.0e18));
}

}  // namespace krumple::Converter
