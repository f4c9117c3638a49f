#pragma once

#include "cli_options.h"

namespace krumple::cli {

// Adds the paths to a store, converts them and reports each result, on this
// thread's own loop. Returns the exit status: 0 when every file converted,
// 1 otherwise, 2 for a path or folder that cannot be used. SIGINT, SIGTERM and
// SIGHUP must already be blocked in every thread.
int runBatchSession(const CliOptions& options);

}  // namespace krumple::cli
