#include "task_queue.h"

#include <algorithm>
#include <utility>

namespace krumple {

void TaskQueue::post(std::function<void()> closure) {
    // Notified under the lock: once the owner has seen the closure, the queue
    // may be gone, and this thread must not touch it any more.
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(closure));
    posted_.notify_one();
}

Executor TaskQueue::executor() {
    return [this](std::function<void()> closure) { post(std::move(closure)); };
}

std::size_t TaskQueue::runPending() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
    }
    std::size_t ran = 0;
    while (!batch.empty()) {
        // Destroyed right after it runs: whoever waits on the closure's end goes on.
        std::function<void()> closure = std::move(batch.front());
        batch.pop_front();
        closure();
        ++ran;
    }
    return ran;
}

bool TaskQueue::runOne(std::chrono::milliseconds timeout) {
    std::function<void()> closure;
    {
        std::unique_lock lock(mutex_);
        if (!posted_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) return false;
        closure = std::move(queue_.front());
        queue_.pop_front();
    }
    closure();
    return true;
}

bool TaskQueue::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        // Short waits: `done` may turn true on another thread without a post.
        runOne(std::min(left, std::chrono::milliseconds(10)));
    }
    return true;
}

std::size_t TaskQueue::size() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

}  // namespace krumple
