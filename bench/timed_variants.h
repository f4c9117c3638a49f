#pragma once

// A set of commands timed against each other: every repetition runs each
// once, in turn, so load from other users of the machine spreads over all.

#include <filesystem>
#include <string>
#include <vector>

#include "bench_commands.h"
#include "child_process.h"

namespace krumple::bench {

struct Variant {
    std::string group{};  // e.g. "avif"
    std::string label{};  // e.g. "effort 2"
    Argv argv{};
    std::filesystem::path output{};
    Env env = singleThreaded();
    std::vector<ChildRun> runs{};
    bool failed = false;

    double wallMs() const;
    double cpuMs() const;
    double peakMB() const;
};

// Runs every variant `reps` times (after one untimed warm-up of the first),
// except that a variant slower than `slowMs` stops after `slowReps` runs.
void runInterleaved(std::vector<Variant>& variants, int reps, int slowReps, double slowMs,
                    const std::filesystem::path& log, const std::string& what);

}  // namespace krumple::bench
