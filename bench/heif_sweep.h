#pragma once

// The sweep behind krumple-bench-heif: today's heifsave path against libheif
// called directly, over a grid of encoder parameters and Q, per photo.

#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "heif_direct.h"

namespace krumple::bench {

struct SweepOptions {
    HeifCodec codec = HeifCodec::hevc;
    int maxWidth = 2048;  // 0: full size
    int reps = 1;         // CPU time is the median of these
    bool butteraugli = true;
    bool engine = false;  // a row for the engine's own encoder at quality 0.8
    std::vector<int> qs;
    // x265 only, instead of qs: crf values with fractions (Q for the whole
    // step, ipratio for the rest), or a bisection for the matched crf.
    std::vector<double> crfs;
    bool bisect = false;  // then crfs holds {low, high} and `steps` halvings
    int steps = 5;
    bool everyPhoto = false;  // bisection target: each photo at most its baseline, not the mean
    std::vector<EncoderParams> variants;  // each is a setting on top of every axis combination
    std::vector<std::pair<std::string, std::vector<std::string>>> axes;  // every combination is a setting
    EncoderParams fixed;                                                  // set on every direct encode
    std::vector<std::filesystem::path> photos;
    std::filesystem::path work;
};

// Prints Markdown tables: every setting × Q (or crf) summed over the photos,
// then each setting at its matched Q (the fewest bytes with Butteraugli at
// most the baseline's, over the mean and photo by photo). The baseline is
// heifsave as the engine used it before; with `engine` the engine's encoder
// is a row too, and its ratios to the baseline are printed.
void runSweep(const SweepOptions& options, std::ostream& out);

}  // namespace krumple::bench
