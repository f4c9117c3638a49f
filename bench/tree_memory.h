#pragma once

// Peak memory of everything this process has started, taken together: the
// processes alive at each moment are summed, so a batch of `xargs -P` peers
// and one multi-job process are measured the same way.

#include <chrono>
#include <mutex>
#include <thread>

namespace krumple::bench {

struct TreePeak {
    double rssMB = 0;   // summed resident memory; shared library pages count once per process
    double anonMB = 0;  // summed resident memory less file-backed and shared pages
    int processes = 0;  // most descendants seen at once
    int samples = 0;
};

// Samples the descendants of this process (not itself) on a background
// thread from construction until finish().
class TreeMemorySampler {
public:
    explicit TreeMemorySampler(std::chrono::milliseconds period = std::chrono::milliseconds(20));
    ~TreeMemorySampler();
    TreeMemorySampler(const TreeMemorySampler&) = delete;
    TreeMemorySampler& operator=(const TreeMemorySampler&) = delete;

    TreePeak finish();

private:
    void sample();

    std::mutex mutex_;
    TreePeak peak_;
    std::jthread thread_;
};

}  // namespace krumple::bench
