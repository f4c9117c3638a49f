#pragma once

// The difference view: where a converted image differs from its original,
// as a heat map over a dimmed copy of it.

#include <filesystem>
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

// Measures `output` against `source` and colours the map. Slow: seconds a
// megapixel on one core. Runs on a worker thread.
std::optional<MeasuredDifference> measureDifference(const std::filesystem::path& source,
                                                    const std::filesystem::path& output, std::stop_token stop);

}  // namespace krumple
