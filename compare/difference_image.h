#pragma once

// The difference view: where a converted image differs from its original,
// as a heat map over a dimmed copy of it.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>

#include <QImage>

#include "difference.h"

namespace krumple {

struct MeasuredDifference {
    double distance = 0;  // Butteraugli's 3-norm of the full-size output
    QImage heat;          // the distance map in colour, see heatMap()
};

// Transparent where the difference can't be seen (below 1), then blue,
// green, yellow and red as it grows, more opaque the larger it is.
QImage heatMap(const DistanceMap& map);

// `converted` in dim grey with `heat` stretched over it: same size and
// format as `converted`.
QImage overlaid(const QImage& converted, const QImage& heat);

// Bytes a measure may take now: what the machine and this process's limits
// leave, less what the window needs.
using MemoryRoom = std::function<std::int64_t()>;
std::int64_t machineMemoryRoom();

// Measures `output` against `source` and colours the map. Slow: seconds a
// megapixel on one core. Runs on a worker thread. Beside a running batch the
// measure is outside the batch's memory budget, so it first waits until
// `room` holds its estimate (nullopt when `stop` ends the wait).
std::optional<MeasuredDifference> measureDifference(const std::filesystem::path& source,
                                                    const std::filesystem::path& output, std::stop_token stop,
                                                    const MemoryRoom& room = machineMemoryRoom);

}  // namespace krumple
