#pragma once

#include <filesystem>
#include <ostream>
#include <vector>

#include "batch_commands.h"

namespace krumple::bench {

struct BatchBenchOptions {
    ToolPaths tools;
    int reps = 3;
    std::filesystem::path work;  // scratch folder for copies, outputs and logs
    std::vector<std::filesystem::path> photos;
    int addFiles = 10'000;  // files in the tree for the adding benchmark
};

// krumple-cli against vips and ImageMagick under xargs -P, the same photos to
// WebP (width ≤ 2048) and to JPEG (full size). False when a tool failed or
// the outputs' pixel sizes differ.
bool runBatchConvertBench(const BatchBenchOptions& options, std::ostream& out);

}  // namespace krumple::bench
