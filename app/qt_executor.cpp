#include "qt_executor.h"

#include <functional>
#include <mutex>
#include <utility>

#include <QMetaObject>

namespace krumple::app {

struct QtExecutor::Target {
    std::mutex mutex;
    QObject* object = nullptr;  // guarded: a worker may post while the main thread closes
};

QtExecutor::QtExecutor(QObject* target) : target_(std::make_shared<Target>()) { target_->object = target; }

QtExecutor::~QtExecutor() { close(); }

void QtExecutor::close() {
    const std::lock_guard lock(target_->mutex);
    target_->object = nullptr;
}

Executor QtExecutor::executor() const {
    return [target = target_](std::function<void()> closure) {
        {
            const std::lock_guard lock(target->mutex);
            if (target->object) {
                // Events posted to one object are delivered in posting order.
                QMetaObject::invokeMethod(target->object, std::move(closure), Qt::QueuedConnection);
                return;
            }
        }
        closure = nullptr;  // dropped outside the lock: its captures may post again
    };
}

}  // namespace krumple::app
