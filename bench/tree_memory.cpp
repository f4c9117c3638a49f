#include "tree_memory.h"

#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace krumple::bench {

namespace {

namespace fs = std::filesystem;

// Children are listed under the thread that started them, so every thread
// of a process is asked.
std::vector<pid_t> childrenOf(pid_t pid) {
    std::vector<pid_t> out;
    std::error_code error;
    for (fs::directory_iterator it("/proc/" + std::to_string(pid) + "/task", error), end; !error && it != end;
         it.increment(error)) {
        std::ifstream children(it->path() / "children");
        pid_t child = 0;
        while (children >> child) out.push_back(child);
    }
    return out;
}

std::vector<pid_t> descendants() {
    std::vector<pid_t> found;
    std::vector<pid_t> pending = childrenOf(::getpid());
    while (!pending.empty()) {
        const pid_t pid = pending.back();
        pending.pop_back();
        found.push_back(pid);
        for (pid_t child : childrenOf(pid)) pending.push_back(child);
    }
    return found;
}

}  // namespace

TreeMemorySampler::TreeMemorySampler(std::chrono::milliseconds period)
    : thread_([this, period](std::stop_token stop) {
          std::mutex waitMutex;
          std::condition_variable_any wake;
          std::unique_lock lock(waitMutex);
          while (!stop.stop_requested()) {
              sample();
              wake.wait_for(lock, stop, period, [] { return false; });
          }
      }) {}

TreeMemorySampler::~TreeMemorySampler() { finish(); }

TreePeak TreeMemorySampler::finish() {
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
    std::lock_guard lock(mutex_);
    return peak_;
}

void TreeMemorySampler::sample() {
    static const double pageMB = static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
    double rss = 0, anon = 0;
    int processes = 0;
    for (pid_t pid : descendants()) {
        // statm: size resident shared ... in pages; a process gone meanwhile reads nothing.
        std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
        double size = 0, resident = 0, shared = 0;
        if (!(statm >> size >> resident >> shared)) continue;
        rss += resident * pageMB;
        anon += (resident - shared) * pageMB;
        ++processes;
    }
    std::lock_guard lock(mutex_);
    peak_.rssMB = std::max(peak_.rssMB, rss);
    peak_.anonMB = std::max(peak_.anonMB, anon);
    peak_.processes = std::max(peak_.processes, processes);
    ++peak_.samples;
}

}  // namespace krumple::bench
