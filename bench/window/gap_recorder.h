#pragma once

#include <cstdint>
#include <vector>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace krumple::bench {

// A 1 ms timer on the main thread that notes how long each wait between two
// of its ticks really was. The longest gap is the longest time anything kept
// the event loop busy (plus the timer's own slack).
class GapRecorder : public QObject {
    Q_OBJECT
public:
    GapRecorder();

    void start();
    void stop();

    double longestMs() const;
    // The gap that `share` (0..1) of all gaps stay below.
    double percentileMs(double share) const;
    std::size_t ticks() const { return gaps_.size(); }
    // Gaps longer than `ms`.
    std::size_t over(double ms) const;

private:
    QTimer timer_;
    QElapsedTimer clock_;
    std::int64_t last_ = 0;
    std::vector<std::int64_t> gaps_;  // nanoseconds
};

}  // namespace krumple::bench
