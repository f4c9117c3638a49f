#pragma once

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>


#include "display_loads.h"

class QObject;

namespace krumple {

// Decodes display images on one worker thread of its own, in the order asked,
// skipping requests that are no longer wanted by the time their turn comes, and
// hands each result to the main thread through `receiver`'s event queue.
class DisplayDecoder {
public:
    using Decode = std::function<DisplayLoads::Result(const std::filesystem::path&)>;

    explicit DisplayDecoder(QObject* receiver, Decode decode = decodeForDisplay);
    // Waits for a decode under way to finish; the rest are dropped.
    ~DisplayDecoder();
    DisplayDecoder(const DisplayDecoder&) = delete;
    DisplayDecoder& operator=(const DisplayDecoder&) = delete;

    // A DisplayLoads::StartLoad.
    void start(const std::filesystem::path& file, std::stop_token stop, DisplayLoads::Deliver deliver);

private:
    struct Request {
        std::filesystem::path file;
        std::stop_token stop;
        DisplayLoads::Deliver deliver;
    };
    void work(std::stop_token quit);

    QObject* receiver_;
    Decode decode_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<Request> queue_;
    std::jthread worker_;  // started on the first request; last member, so it stops first
};

}  // namespace krumple
