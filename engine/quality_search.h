#pragma once

// Internal to the engine: choosing the quality per image, by a search over
// encodes held in memory, for a perceptual distance or a file size.

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include <vips/vips8>

#include "encoder.h"
#include "output_format.h"

namespace krumple {

// What the chosen encode must meet. With both, the distance chooses and the
// size is a ceiling: a file over it gives way to the best quality that fits.
struct QualityGoal {
    std::optional<double> distance;     // the largest Butteraugli 3-norm allowed
    std::optional<std::int64_t> bytes;  // the largest file allowed, metadata included
};

struct QualityChoice {
    Blob file;                        // the chosen encode, whole, metadata included
    double quality = 0;               // ours, 0–1
    std::optional<double> distance;   // the file's, over the whole picture (with a distance goal)
    bool met = false;                 // false: even the lowest quality misses a size goal; `file` is that encode
};

// The quality (percent) whose encode meets `goal`, searched in whole percents
// below the lossless 100 %: for a distance, the lowest whose file is within
// it over the whole picture, the one below measured and missing; for a size,
// the highest that fits. Large pictures are first estimated on a mosaic of
// tiles cut at the codecs' block grid, which only steers the search. Throws
// vips::VError when the codec fails.
QualityChoice chooseQuality(const vips::VImage& image, const MetadataBlocks& metadata, OutputFormat format,
                            const EncodeOptions& base, const QualityGoal& goal);

// The lowest whole number in [lowest, highest] whose measure is at most
// `target`, for a measure that falls as the number rises; `highest` when
// none is. A number whose measure is within `closeEnough` of the target
// (but not over it) ends the search early: the few numbers below could save
// little; so does taking `most` measures. Every number returned has been
// measured, unless none met the target within `most`.
inline constexpr double closeEnough = 0.97;
int lowestMeeting(int lowest, int highest, double target, const std::function<double(int)>& measure,
                  int most = std::numeric_limits<int>::max());

// The lowest whole number in [lowest, highest] whose measure is at most
// `target`, for a measure that falls as the number rises, searched from a
// first guess: each step aims where the target lies on the log of the
// measure, between the two measured ends around it, or from one end along
// `slope` (the log's change per step, below zero). The number returned meets
// the target and the one below it was measured and missed; `highest` (then
// measured) when nothing meets it, `lowest` when everything does.
int floorFrom(int guess, int lowest, int highest, double target, double slope,
              const std::function<double(int)>& measure);

// The tiles a large picture's distance is estimated on, for a picture of this size: their
// left and top edges, each tile `side` pixels square. Empty when the picture
// is small enough to be measured whole.
struct TileGrid {
    int side = 0;
    int columns = 0;                           // origins run row by row
    std::vector<std::pair<int, int>> origins;
};
TileGrid probeTiles(int width, int height);

}  // namespace krumple
