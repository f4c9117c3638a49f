#pragma once

// What the window's footer and the command line sum up about a list.

#include <cstdint>
#include <vector>

#include "image_item.h"

namespace krumple {

struct ListTotals {
    std::int64_t count = 0;          // items listed
    std::int64_t originals = 0;      // bytes of every item's source, whatever its status
    std::int64_t done = 0;           // items done, kept originals included
    std::int64_t kept = 0;           // of those, the ones whose original was kept
    std::int64_t failed = 0;         // items that failed, cancelled ones not counted
    std::int64_t notStarted = 0;     // items waiting, or cancelled before they began
    std::int64_t doneOriginals = 0;  // bytes of the done items' sources
    std::int64_t doneOutputs = 0;    // bytes of their results (a kept original's own)
};

ListTotals totalsOf(const std::vector<ImageItem>& items);

// Whether an item never began: waiting, or stopped by Cancel before its work.
bool notStarted(const ImageItem& item);

}  // namespace krumple
