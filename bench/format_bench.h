#pragma once

#include <ostream>

#include "bench_commands.h"

namespace krumple::bench {

// On the largest photo, all six formats through our converter at quality 0.8
// with the engine's own encoder settings: time, bytes, PSNR against the source.
bool runSixFormats(const BenchOptions& options, std::ostream& out);

// On the same photo, each saver's speed settings through the `vips` tool (and
// heif-enc for the x265 presets libvips cannot reach).
bool runEncoderSweep(const BenchOptions& options, std::ostream& out);

}  // namespace krumple::bench
