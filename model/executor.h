#pragma once

#include <functional>

namespace krumple {

// Posts a closure to run later on the main thread, the one the store lives on.
// Must be callable from any thread, must not block, and must run closures in
// the order they were posted. A closure it drops without running is destroyed;
// background work waiting on it then goes on.
using Executor = std::function<void(std::function<void()>)>;

}  // namespace krumple
