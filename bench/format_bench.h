#pragma once

#include <ostream>

#include "bench_commands.h"

namespace krumple::bench {

// On the largest photo: all six formats through our converter at quality
// 0.8, then each encoder's speed settings through the `vips` tool (and
// heif-enc for the x265 presets libvips cannot reach), with time, bytes and
// PSNR against the source.
bool runFormatBench(const BenchOptions& options, std::ostream& out);

}  // namespace krumple::bench
