#pragma once

#include "image_item.h"

class QWidget;

namespace krumple::app {

// What the right pane shows for the selected item. The window keeps one for
// its whole life and hands it each new selection (and each new state of the
// selected item), so the view keeps its own state from one item to the next.
class CompareSeat {
public:
    virtual ~CompareSeat() = default;
    // The widget placed in the right pane; the window takes it as a child.
    virtual QWidget* widget() = 0;
    // The selected item, or its new copy after the store changed it.
    virtual void showItem(const ImageItem& item) = 0;
    // Nothing is selected: the view starts afresh for the next item.
    virtual void showNothing() = 0;
};

}  // namespace krumple::app
