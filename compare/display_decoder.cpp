#include "display_decoder.h"

#include <QMetaObject>
#include <QObject>

#include "image_library.h"

namespace krumple {

DisplayDecoder::DisplayDecoder(QObject* receiver, Decode decode)
    : receiver_(receiver), decode_(std::move(decode)) {}

DisplayDecoder::~DisplayDecoder() {
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
}

void DisplayDecoder::start(const std::filesystem::path& file, std::stop_token stop, DisplayLoads::Deliver deliver) {
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back({file, std::move(stop), std::move(deliver)});
    }
    if (!worker_.joinable()) worker_ = std::jthread([this](std::stop_token quit) { work(quit); });
    wake_.notify_one();
}

void DisplayDecoder::work(std::stop_token quit) {
    for (;;) {
        Request request;
        {
            std::unique_lock lock(mutex_);
            if (!wake_.wait(lock, quit, [this] { return !queue_.empty(); })) break;
            request = std::move(queue_.front());
            queue_.pop_front();
        }
        if (request.stop.stop_requested()) continue;
        DisplayLoads::Result result = decode_(request.file);
        // The receiver outlives this thread (its owner joins us first); Qt
        // drops the call if the receiver is gone by the time it would run.
        QMetaObject::invokeMethod(
            receiver_,
            [deliver = std::move(request.deliver), stop = request.stop, result = std::move(result)]() mutable {
                if (!stop.stop_requested()) deliver(std::move(result));
            },
            Qt::QueuedConnection);
    }
    releaseImageLibraryThread();
}

}  // namespace krumple
