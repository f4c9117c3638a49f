#pragma once

// What the comparison's tests and the demo share.

#include "compare_pane.h"
#include "compare_view.h"
#include "image_area.h"

namespace krumple {

// `original`, 2.1 MB; converted to `output`, 880 KB, unless there is none.
inline ImageItem item(const std::filesystem::path& original, const std::filesystem::path& output = {}) {
    ImageItem it;
    it.id = ItemId::random();
    it.url = original;
    it.originalSize = 2'100'000;
    if (output.empty()) return it;
    it.status = ItemStatus::done;
    it.outputURL = output;
    it.outputSize = 880'000;
    return it;
}

}  // namespace krumple
