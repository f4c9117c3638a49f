#pragma once

#include <functional>

class QAction;
class QMainWindow;
class QSplitter;

namespace krumple {
class Store;
}

namespace krumple::app {

// The commands whose enabled state the window keeps.
struct MenuActions {
    QAction* remove = nullptr;
    QAction* clear = nullptr;
    QAction* convert = nullptr;
    QAction* cancel = nullptr;
};

// The menu bar: File › Add Images… (Ctrl+O), Convert (Ctrl+Return), Stop
// (Ctrl+.) and Quit; Edit › Delete (the Delete key), which removes the
// selected row, and Clear List (Ctrl+Shift+Delete); View ›
// moving the divider between the list and the comparison from the keyboard,
// and putting it back. No command opens a second window.
MenuActions addMenus(QMainWindow& window, Store& store, QSplitter& panes, std::function<void()> resetPanes);

}  // namespace krumple::app
