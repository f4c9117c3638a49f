#pragma once

#include <ostream>

#include "batch_convert_bench.h"

namespace krumple::bench {

// Adding a folder of many files in nested folders to a store, timed until
// the rows arrive, against `find | xargs vipsheader` over the same tree.
bool runAddingBench(const BatchBenchOptions& options, std::ostream& out);

}  // namespace krumple::bench
