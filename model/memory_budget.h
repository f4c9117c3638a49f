#pragma once

// How much memory a batch may plan to use: what the machine has free, the
// process's cgroup allows and its resource limits leave, less a margin.

#include <cstdint>
#include <optional>
#include <string_view>

namespace krumple {

// Each figure in bytes; absent where there is no such limit or it can't be read.
struct MemoryFacts {
    std::optional<std::int64_t> available;        // MemAvailable
    std::optional<std::int64_t> cgroupRemaining;  // the memory cgroup's limit less its usage
    std::optional<std::int64_t> addressSpaceLeft; // RLIMIT_AS less the address space in use
    std::optional<std::int64_t> dataLeft;         // RLIMIT_DATA less the data in use
};

MemoryFacts readMemoryFacts();

// What the window, the decoders and libraries need beside the encoders' estimates.
inline constexpr std::int64_t memoryMargin = std::int64_t{384} << 20;

// The smallest of the facts less the margin; never below zero. Without any
// fact, a budget that admits everything.
std::int64_t memoryBudget(const MemoryFacts& facts, std::int64_t margin = memoryMargin);

// Parsers, for the files these come from.
std::optional<std::int64_t> kilobytesField(std::string_view procText, std::string_view field);  // "MemAvailable:"
std::optional<std::int64_t> cgroupLimitValue(std::string_view text);  // "max" and v1's huge values: none

}  // namespace krumple
