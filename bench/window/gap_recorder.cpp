#include "gap_recorder.h"

#include <algorithm>

namespace krumple::bench {

GapRecorder::GapRecorder() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(1);
    connect(&timer_, &QTimer::timeout, this, [this] {
        const std::int64_t now = clock_.nsecsElapsed();
        gaps_.push_back(now - last_);
        last_ = now;
    });
}

void GapRecorder::start() {
    gaps_.clear();
    clock_.start();
    last_ = 0;
    timer_.start();
}

void GapRecorder::stop() { timer_.stop(); }

double GapRecorder::longestMs() const {
    return gaps_.empty() ? 0.0 : static_cast<double>(*std::max_element(gaps_.begin(), gaps_.end())) / 1e6;
}

double GapRecorder::percentileMs(double share) const {
    if (gaps_.empty()) return 0.0;
    std::vector<std::int64_t> sorted = gaps_;
    std::sort(sorted.begin(), sorted.end());
    const auto at = static_cast<std::size_t>(share * static_cast<double>(sorted.size() - 1));
    return static_cast<double>(sorted[at]) / 1e6;
}

std::size_t GapRecorder::over(double ms) const {
    const auto limit = static_cast<std::int64_t>(ms * 1e6);
    return static_cast<std::size_t>(std::count_if(gaps_.begin(), gaps_.end(), [limit](std::int64_t g) { return g > limit; }));
}

}  // namespace krumple::bench
