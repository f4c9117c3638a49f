#include "list_totals.h"

#include "convert_error.h"

namespace krumple {

ListTotals totalsOf(const std::vector<ImageItem>& items) {
    ListTotals totals;
    totals.count = static_cast<std::int64_t>(items.size());
    for (const ImageItem& it : items) {
        totals.originals += it.originalSize;
        if (notStarted(it)) ++totals.notStarted;
        if (it.status.kind() == ItemStatus::failed && !notStarted(it)) ++totals.failed;
        if (it.status.kind() != ItemStatus::done) continue;
        ++totals.done;
        if (it.rejectedOutputSize) ++totals.kept;
        totals.doneOriginals += it.originalSize;
        totals.doneOutputs += it.outputSize.value_or(0);
    }
    return totals;
}

bool notStarted(const ImageItem& item) {
    // A job stopped by Cancel reports the failure "Cancelled" without having begun.
    return item.status.kind() == ItemStatus::pending ||
           (item.status.kind() == ItemStatus::failed && item.status.reason().kind == Failure::Kind::cancelled);
}

}  // namespace krumple
