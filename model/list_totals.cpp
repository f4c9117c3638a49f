#include "list_totals.h"

#include "convert_error.h"

namespace krumple {

ListTotals totalsOf(const std::vector<ImageItem>& items) {
    ListTotals totals;
    totals.count = static_cast<std::int64_t>(items.size());
    for (const ImageItem& it : items) {
        totals.originals += it.originalSize;
        if (it.status.kind() == ItemStatus::failed) {
            // A job stopped by Cancel never began its work.
            ++(it.status.message() == description(ConvertError::cancelled) ? totals.notStarted : totals.failed);
            continue;
        }
        if (it.status.kind() == ItemStatus::pending) ++totals.notStarted;
        if (it.status.kind() != ItemStatus::done) continue;
        ++totals.done;
        if (it.rejectedOutputSize) ++totals.kept;
        totals.doneOriginals += it.originalSize;
        totals.doneOutputs += it.outputSize.value_or(0);
    }
    return totals;
}

}  // namespace krumple
