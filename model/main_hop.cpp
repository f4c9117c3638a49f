#include "main_hop.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>

namespace krumple {

struct Handoff {
    std::mutex mutex;
    std::condition_variable ended;
    bool over = false;
};

namespace {

// Lives inside the posted closure: its end, after running or unrun, releases
// the waiting thread.
class EndSignal {
public:
    explicit EndSignal(std::shared_ptr<Handoff> handoff) : handoff_(std::move(handoff)) {}
    EndSignal(const EndSignal&) = delete;
    EndSignal& operator=(const EndSignal&) = delete;
    ~EndSignal() {
        {
            std::lock_guard lock(handoff_->mutex);
            handoff_->over = true;
        }
        handoff_->ended.notify_all();
    }

private:
    std::shared_ptr<Handoff> handoff_;
};

}  // namespace

MainHop MainHop::post(const Executor& toMain, std::function<void()> closure) {
    auto handoff = std::make_shared<Handoff>();
    auto signal = std::make_shared<EndSignal>(handoff);
    toMain([signal = std::move(signal), closure = std::move(closure)]() mutable {
        closure();
        closure = nullptr;
        signal.reset();
    });
    return MainHop(std::move(handoff));
}

void MainHop::wait() {
    std::unique_lock lock(handoff_->mutex);
    handoff_->ended.wait(lock, [this] { return handoff_->over; });
}

}  // namespace krumple
