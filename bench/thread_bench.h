#pragma once

#include <ostream>

#include "bench_commands.h"

namespace krumple::bench {

// libvips' worker pool at 1 thread against 2 (the default on this 2-core
// machine) inside our converter: one conversion alone, and a batch run two
// jobs at a time as the app does.
bool runThreadBench(const BenchOptions& options, std::ostream& out);

}  // namespace krumple::bench
