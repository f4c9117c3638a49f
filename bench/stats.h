#pragma once

#include <algorithm>
#include <vector>

namespace krumple::bench {

// Timings here are noisy (shared machine): every figure is a median.
inline double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto mid = v.size() / 2;
    return v.size() % 2 == 1 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

}  // namespace krumple::bench
