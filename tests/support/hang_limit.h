#pragma once

namespace krumple::test {

// How long a test waits for work on other threads (decoding, adding,
// measuring): a bound that only ends a test that hangs, never a judge of speed.
constexpr int hangLimitMs = 60'000;

}  // namespace krumple::test
