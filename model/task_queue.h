#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

#include "executor.h"

namespace krumple {

// A main-thread loop without a toolkit: any thread posts, the owning thread
// runs the closures in order. The command line and the tests drive a store
// with it.
class TaskQueue {
public:
    TaskQueue() = default;
    TaskQueue(const TaskQueue&) = delete;
    TaskQueue& operator=(const TaskQueue&) = delete;

    void post(std::function<void()> closure);
    // An Executor posting here; the queue must outlive its users.
    Executor executor();

    // Runs the closures queued now (not those they post). Returns how many ran.
    std::size_t runPending();
    // Waits up to `timeout` for a closure and runs it. False when none came.
    bool runOne(std::chrono::milliseconds timeout);
    // Runs closures as they come until `done` holds; false after `timeout`
    // without it holding.
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::minutes(2));
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> queue_;
};

}  // namespace krumple
