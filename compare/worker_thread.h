#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

class QObject;

namespace krumple {

// Runs slow work (decoding, measuring) on one thread of its own, in the order
// asked, skipping work no longer wanted by the time its turn comes, and hands
// each result to the main thread through `receiver`'s event queue.
class WorkerThread {
public:
    // Runs on the worker; returns what to do with the result on the main thread.
    using Task = std::function<std::function<void()>()>;

    explicit WorkerThread(QObject* receiver);
    // Waits for a task under way to finish; the rest are dropped.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Neither the task nor its result's delivery runs once `stop` is requested.
    void post(std::stop_token stop, Task task);

private:
    struct Request {
        std::stop_token stop;
        Task task;
    };
    void work(std::stop_token quit);

    QObject* receiver_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<Request> queue_;
    std::jthread worker_;  // started on the first request; last member, so it stops first
};

}  // namespace krumple
