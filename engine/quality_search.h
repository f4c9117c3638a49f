#pragma once

// Internal to the engine: choosing the quality per image, by a search over
// encodes held in memory, for a perceptual distance or a file size.

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include <vips/vips8>

#include "encoder.h"
#include "output_format.h"

namespace krumple {

// What the chosen encode must meet; exactly one is set.
struct QualityGoal {
    std::optional<double> distance;     // the largest Butteraugli 3-norm allowed
    std::optional<std::int64_t> bytes;  // the largest file allowed, metadata included
};

struct QualityChoice {
    Blob file;                        // the chosen encode, whole, metadata included
    double quality = 0;               // ours, 0–1
    std::optional<double> distance;   // as measured by the search
    bool met = false;                 // false: even the lowest quality misses a size goal; `file` is that encode
};

// The lowest quality (percent) whose encode meets `goal`, searched in whole
// percents below the lossless 100 %. A distance goal is measured on the
// picture itself when small, else on a mosaic of tiles cut from it at the
// codecs' block grid. Throws vips::VError when the codec fails.
QualityChoice chooseQuality(const vips::VImage& image, const MetadataBlocks& metadata, OutputFormat format,
                            const EncodeOptions& base, const QualityGoal& goal);

// The lowest whole number in [lowest, highest] whose measure is at most
// `target`, for a measure that falls as the number rises; `highest` when
// none is. A number whose measure is within `closeEnough` of the target
// (but not over it) ends the search early: the few numbers below could save
// little. Every number returned has been measured.
inline constexpr double closeEnough = 0.97;
int lowestMeeting(int lowest, int highest, double target, const std::function<double(int)>& measure);

// The tiles the distance is measured on, for a picture of this size: their
// left and top edges, each tile `side` pixels square. Empty when the picture
// is small enough to be measured whole.
struct TileGrid {
    int side = 0;
    int columns = 0;                           // origins run row by row
    std::vector<std::pair<int, int>> origins;
};
TileGrid probeTiles(int width, int height);

}  // namespace krumple
