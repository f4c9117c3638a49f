#include "difference_image.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

#include <QPainter>

#include "display_image.h"
#include "memory_budget.h"

namespace krumple {
namespace {

struct Stop {
    float distance;
    float r, g, b, a;
};

// Below 1 a difference is hard to see, so it stays clear: a lossy photo's
// map sits mostly between 1 and 2, its worst spots well above 3.
constexpr std::array<Stop, 6> ramp{{
    {1.0f, 0, 0, 255, 0},
    {1.5f, 0, 120, 255, 120},
    {2.2f, 0, 200, 80, 170},
    {3.0f, 255, 230, 0, 210},
    {4.5f, 255, 120, 0, 230},
    {6.0f, 255, 0, 0, 240},
}};

QRgb colourOf(float d) {
    if (!(d > ramp.front().distance)) return qPremultiply(qRgba(0, 0, 0, 0));
    const Stop* high = std::find_if(ramp.begin(), ramp.end(), [d](const Stop& s) { return d <= s.distance; });
    if (high == ramp.end()) {
        const Stop& top = ramp.back();
        return qPremultiply(qRgba(int(top.r), int(top.g), int(top.b), int(top.a)));
    }
    const Stop& low = *(high - 1);
    const float t = (d - low.distance) / (high->distance - low.distance);
    auto mix = [t](float a, float b) { return int(a + (b - a) * t + 0.5f); };
    return qPremultiply(qRgba(mix(low.r, high->r), mix(low.g, high->g), mix(low.b, high->b), mix(low.a, high->a)));
}

}  // namespace

QImage heatMap(const DistanceMap& map) {
    QImage heat(map.width, map.height, QImage::Format_ARGB32_Premultiplied);
    if (heat.isNull()) return heat;
    for (int y = 0; y < map.height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(heat.scanLine(y));
        const float* values = map.values.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(map.width);
        for (int x = 0; x < map.width; ++x) row[x] = colourOf(values[x]);
    }
    return heat;
}

QImage overlaid(const QImage& converted, const QImage& heat) {
    QImage out = converted.convertToFormat(QImage::Format_Grayscale8).convertToFormat(converted.format());
    QPainter painter(&out);
    painter.fillRect(out.rect(), QColor(0, 0, 0, 110));
    // Each heat pixel stands for a block: drawn as blocks, not blurred away.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(out.rect(), heat);
    return out;
}

std::int64_t machineMemoryRoom() { return memoryBudget(readMemoryFacts()); }

std::optional<MeasuredDifference> measureDifference(const std::filesystem::path& source,
                                                    const std::filesystem::path& output, std::stop_token stop,
                                                    const MemoryRoom& room) {
    // libjxl ends the process when an allocation fails: wait for room instead.
    const std::int64_t needed = Converter::differenceMemoryEstimate(source, output);
    while (room() < needed) {
        if (stop.stop_requested()) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const auto difference = Converter::difference(source, output, displayMaxPixel, stop, threads);
    if (!difference) return std::nullopt;
    return MeasuredDifference{difference->distance, heatMap(difference->map)};
}

}  // namespace krumple
