#pragma once

#include <functional>

#include "executor.h"

namespace krumple {

// Runs `closure` on the main thread through `toMain` and waits until it has
// run, or until the executor dropped it unrun. Never call it on the main thread.
void runOnMainAndWait(const Executor& toMain, std::function<void()> closure);

}  // namespace krumple
