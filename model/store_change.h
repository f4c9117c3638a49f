#pragma once

#include <cstddef>
#include <vector>

#include "item_id.h"

namespace krumple {

// The store's observable fields.
enum class StoreField {
    items,
    selection,
    format,
    quality,
    qualityMode,
    targetDistance,
    maxFileSize,
    capsAutomatic,
    limitWidth,
    maxWidth,
    limitedSide,
    stripMetadata,
    keepDates,
    onlySmaller,
    keepStructure,
    outputMode,
    outputFolder,
    isRunning,
    completed,
    total,
};

// What changed. For `items` it also says how and which rows, so a long list
// can redraw only those.
struct StoreChange {
    enum class ItemsEdit {
        updated,   // fields of these items changed in place; rows unchanged
        appended,  // these items were added at the end
        removed,   // these items left the list
    };

    StoreField field;
    ItemsEdit edit = ItemsEdit::updated;  // items only
    std::vector<ItemId> ids;              // items only: the items touched
    // items only: their rows, ascending; for `removed`, the rows they had before.
    std::vector<std::size_t> rows;
};

// Told of each change after the store has made it, on the main thread.
// Observers may call store operations from storeChanged().
class StoreObserver {
public:
    virtual ~StoreObserver() = default;
    virtual void storeChanged(const StoreChange& change) = 0;

};

}  // namespace krumple
