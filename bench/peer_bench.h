#pragma once

#include <ostream>

#include "bench_commands.h"

namespace krumple::bench {

// Every photo to WebP and JPEG at quality 0.8, with and without a 2048 width
// limit, ours against `vips copy` / `vips thumbnail`, single-threaded.
// Returns false when a conversion failed or the pixel sizes differ.
bool runPeerBench(const BenchOptions& options, std::ostream& out);

}  // namespace krumple::bench
