#include "list_totals.h"

namespace krumple {

ListTotals totalsOf(const std::vector<ImageItem>& items) {
    ListTotals totals;
    totals.count = static_cast<std::int64_t>(items.size());
    for (const ImageItem& it : items) {
        totals.originals += it.originalSize;
        if (it.status.kind() != ItemStatus::done) continue;
        ++totals.done;
        if (it.rejectedOutputSize) ++totals.kept;
        totals.doneOriginals += it.originalSize;
        totals.doneOutputs += it.outputSize.value_or(0);
    }
    return totals;
}

}  // namespace krumple
