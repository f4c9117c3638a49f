#include "display_loads.h"

#include <utility>

namespace krumple {

LoadKey loadKey(const ImageItem& item) {
    return {item.id, item.revision, item.status.kind() == ItemStatus::done};
}

DisplayLoads::DisplayLoads(StartLoad start, std::function<void()> runStarted, std::function<void()> changed)
    : start_(std::move(start)), runStarted_(std::move(runStarted)), changed_(std::move(changed)) {}

DisplayLoads::~DisplayLoads() { stopLoads(); }

template <class F>
DisplayLoads::Deliver DisplayLoads::guarded(F f) {
    return [alive = std::weak_ptr<char>(alive_), f = std::move(f)](Result result) mutable {
        if (alive.lock()) f(std::move(result));
    };
}

void DisplayLoads::stopLoads() {
    if (originalLoad_) originalLoad_->stop.request_stop();
    originalLoad_.reset();
    convertedStop_.request_stop();
}

void DisplayLoads::reset() {
    stopLoads();
    key_.reset();
    output_.reset();
    originalURL_.reset();
    const bool hadImages = original_ || converted_;
    original_.reset();
    converted_.reset();
    ++run_;
    if (hadImages) changed_();
}

void DisplayLoads::show(const ImageItem& item) {
    const LoadKey key = loadKey(item);
    if (key_ == key) return;
    key_ = key;
    ++run_;
    // A converted load of an earlier run is for an output this run doesn't want.
    convertedStop_.request_stop();
    runStarted_();
    output_ = item.status.kind() == ItemStatus::done ? item.outputURL : std::nullopt;

    if (original_ && originalURL_ == item.url) {
        if (originalLoad_) originalLoad_->stop.request_stop();
        originalLoad_.reset();
        converted_.reset();
        changed_();
        if (output_) loadConverted();
        return;
    }
    const bool hadOriginal = original_.has_value();
    original_.reset();
    if (hadOriginal) changed_();
    // An original of this same file already on its way serves this run too
    // (a conversion finishing while it decodes changes the key, not the file).
    if (originalLoad_ && originalLoad_->url == item.url) return;
    if (originalLoad_) originalLoad_->stop.request_stop();
    originalLoad_ = OriginalLoad{item.url, ++nextTicket_, {}};
    const std::uint64_t ticket = originalLoad_->ticket;
    start_(item.url, originalLoad_->stop.get_token(),
           guarded([this, ticket](Result result) { originalArrived(ticket, std::move(result)); }));
}

void DisplayLoads::originalArrived(std::uint64_t ticket, Result result) {
    if (!originalLoad_ || originalLoad_->ticket != ticket) return;  // superseded
    original_ = std::move(result);
    originalURL_ = originalLoad_->url;  // also after a failure: the next key change retries
    originalLoad_.reset();
    // The previous item's converted image stayed on screen until now.
    converted_.reset();
    changed_();
    if (output_) loadConverted();
}

void DisplayLoads::loadConverted() {
    convertedStop_ = std::stop_source();
    const std::uint64_t run = run_;
    start_(*output_, convertedStop_.get_token(), guarded([this, run](Result result) {
               if (run != run_) return;  // a newer run owns the converted side
               converted_ = std::move(result);
               changed_();
           }));
}

}  // namespace krumple
