#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "item_id.h"

namespace krumple {

// One unit of batch work.
struct Job {
    ItemId id;
    std::filesystem::path src;
    std::filesystem::path dst;
    // True only when dst is the item's own earlier output, which this batch
    // rewrites. Anything else found at dst when writing is left alone.
    bool replacesOwnOutput = false;

    friend bool operator==(const Job&, const Job&) = default;
};

// The outcome of one job: `size` on success, `error` (the user-facing text) on failure.
struct JobResult {
    ItemId id;
    std::optional<std::int64_t> size;
    std::optional<std::string> error;

    friend bool operator==(const JobResult&, const JobResult&) = default;
};

}  // namespace krumple
