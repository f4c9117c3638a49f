#pragma once

class QWidget;

namespace krumple::app {

// Accessibility for the controls Qt can't describe by itself: a segmented
// picker reads as a group of radio buttons, its chosen one checked; a slider
// with an "accessibleValue" property reports that value (a percentage, say)
// instead of its raw position. Installed once, before any window.
void installAccessibleControls();

// Tells assistive technology that `picker`'s choice moved from `from` to `to`.
void announceChoice(QWidget* picker, int from, int to);

}  // namespace krumple::app
