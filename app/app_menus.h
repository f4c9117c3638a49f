#pragma once

class QMainWindow;

namespace krumple {
class Store;
}

namespace krumple::app {

// The menu bar: File › Add Images… (Ctrl+O) and Quit. No command opens a second window.
void addMenus(QMainWindow& window, Store& store);

}  // namespace krumple::app
