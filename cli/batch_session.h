#pragma once

#include "cli_options.h"

namespace krumple::cli {

// Adds the paths to a store, converts them and reports each result, on this
// thread's own loop. Returns the exit status: 0 when every file converted,
// 1 otherwise, 2 for a path or folder that cannot be used. "-" alone as the
// path reads one image from standard input. SIGINT, SIGTERM and
// SIGHUP must already be blocked in every thread. `ascii`: text lines in
// ASCII but for the names in them.
int runBatchSession(CliOptions options, bool ascii);

}  // namespace krumple::cli
