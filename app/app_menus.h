#pragma once

class QAction;
class QMainWindow;

namespace krumple {
class Store;
}

namespace krumple::app {

// The menu bar: File › Add Images… (Ctrl+O) and Quit; Edit › Delete (the
// Delete key), which removes the selected row. No command opens a second
// window. Returns Delete, whose enabled state the window keeps.
QAction* addMenus(QMainWindow& window, Store& store);

}  // namespace krumple::app
