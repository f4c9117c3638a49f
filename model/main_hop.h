#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "executor.h"

namespace krumple {

struct Handoff;

// A closure posted to the main thread, to be waited for.
class MainHop {
public:
    static MainHop post(const Executor& toMain, std::function<void()> closure);
    // Until the closure has run, or the executor dropped it unrun. Never on
    // the main thread.
    void wait();

private:
    explicit MainHop(std::shared_ptr<Handoff> handoff) : handoff_(std::move(handoff)) {}
    std::shared_ptr<Handoff> handoff_;
};

// Runs `closure` on the main thread through `toMain` and waits for it.
inline void runOnMainAndWait(const Executor& toMain, std::function<void()> closure) {
    MainHop::post(toMain, std::move(closure)).wait();
}

}  // namespace krumple
