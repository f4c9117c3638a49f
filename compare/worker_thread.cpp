#include "worker_thread.h"

#include <QMetaObject>
#include <QObject>

#include "image_library.h"

namespace krumple {

WorkerThread::WorkerThread(QObject* receiver) : receiver_(receiver) {}

WorkerThread::~WorkerThread() {
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
}

void WorkerThread::post(std::stop_token stop, Task task) {
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back({std::move(stop), std::move(task)});
    }
    if (!worker_.joinable()) worker_ = std::jthread([this](std::stop_token quit) { work(quit); });
    wake_.notify_one();
}

void WorkerThread::work(std::stop_token quit) {
    for (;;) {
        Request request;
        {
            std::unique_lock lock(mutex_);
            if (!wake_.wait(lock, quit, [this] { return !queue_.empty(); })) break;
            request = std::move(queue_.front());
            queue_.pop_front();
        }
        if (request.stop.stop_requested()) continue;
        std::function<void()> deliver = request.task();
        // The receiver outlives this thread (its owner joins us first); Qt
        // drops the call if the receiver is gone by the time it would run.
        QMetaObject::invokeMethod(
            receiver_,
            [deliver = std::move(deliver), stop = request.stop] {
                if (!stop.stop_requested() && deliver) deliver();
            },
            Qt::QueuedConnection);
    }
    releaseImageLibraryThread();
}

}  // namespace krumple
