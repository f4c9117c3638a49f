#pragma once

#include <functional>
#include <thread>

namespace krumple::cli {

// Blocks SIGINT, SIGTERM and SIGHUP for the calling thread and the threads it
// starts later. Call first thing in main().
void blockStopSignals();

// Waits for those signals on its own thread and calls `onSignal` there for each.
class SignalWatch {
public:
    explicit SignalWatch(std::function<void()> onSignal);

private:
    std::jthread thread_;
};

}  // namespace krumple::cli
