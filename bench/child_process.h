#pragma once

// Runs commands as child processes and measures them the way the benchmark
// reports: wall time around the whole process, and the child's own CPU time
// and peak resident memory from wait4().

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace krumple::bench {

struct ChildRun {
    int exitCode = -1;  // -1 when the child could not start or was killed
    double wallMs = 0;
    double cpuMs = 0;  // user + system
    double peakMB = 0;  // ru_maxrss
};

// `env` entries replace or add to this process's environment for the child.
// The child's standard output and error go to `log` (overwritten).
ChildRun runChild(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                  const std::filesystem::path& log);

// A batch of commands with at most `parallel` running at once, the way the
// app keeps one job per core; the wall time is that of the whole batch.
// Peak memory here is only an upper bound: these children start straight from
// the driver and inherit its peak (see krumple-bench-launch).
struct BatchRun {
    bool ok = false;
    double wallMs = 0;
    double cpuMs = 0;   // all children together
    double peakMB = 0;  // the largest child
};
BatchRun runBatch(const std::vector<std::vector<std::string>>& argvs, std::size_t parallel,
                  const std::map<std::string, std::string>& env, const std::filesystem::path& log);

// This program's own path, for starting it again in a one-shot mode.
std::filesystem::path selfPath();

}  // namespace krumple::bench
