#pragma once

#include <stop_token>
#include <thread>
#include <utility>

namespace krumple {

// The handle of a running batch: its cancellation and its thread.
class BatchTask {
public:
    BatchTask(std::stop_source stop, std::thread thread) : stop_(std::move(stop)), thread_(std::move(thread)) {}
    BatchTask(const BatchTask&) = delete;
    BatchTask& operator=(const BatchTask&) = delete;

    ~BatchTask() {
        if (!thread_.joinable()) return;
        if (ended_) {
            thread_.join();  // it has posted its last closure and is returning
        } else {
            // The store is going away mid-batch. The thread still needs the
            // main thread for its last reports, so it cannot be waited for here.
            stop_.request_stop();
            thread_.detach();
        }
    }

    void cancel() { stop_.request_stop(); }
    // Called on the main thread by the batch's last closure.
    void markEnded() { ended_ = true; }

private:
    std::stop_source stop_;
    std::thread thread_;
    bool ended_ = false;
};

}  // namespace krumple
