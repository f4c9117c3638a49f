#pragma once

#include <memory>

#include <QObject>

#include "executor.h"

namespace krumple::app {

// The store's way back to the main thread: closures are posted to an object
// living there with a queued call, so they run in order on its event loop.
// Once the target is gone (or close() was called), closures are dropped
// without running, which lets waiting background work go on.
class QtExecutor {
public:
    // `target` must live on the main thread.
    explicit QtExecutor(QObject* target);
    ~QtExecutor();  // closes
    QtExecutor(const QtExecutor&) = delete;
    QtExecutor& operator=(const QtExecutor&) = delete;

    // Callable from any thread, also after this object is gone.
    Executor executor() const;
    // From now on every closure is dropped.
    void close();

private:
    struct Target;
    std::shared_ptr<Target> target_;
};

}  // namespace krumple::app
