#pragma once

#include <memory>

#include <QObject>

#include "qt_executor.h"
#include "qt_panels.h"

namespace krumple {
class Store;
}

namespace krumple::app {

class MainWindow;

// The application: the one store and the one window, for the life of the
// process. Make it after the QApplication and before its event loop runs.
class KrumpleApp {
public:
    KrumpleApp();
    ~KrumpleApp();
    KrumpleApp(const KrumpleApp&) = delete;
    KrumpleApp& operator=(const KrumpleApp&) = delete;

    Store& store() { return *store_; }
    MainWindow& window() { return *window_; }

    // Shows the window and brings it to the front.
    void show();

private:
    bool highlightSet_;
    QObject mainThread_;  // where the store's closures are delivered
    QtExecutor executor_;
    std::shared_ptr<Store> store_;
    QtPanels panels_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace krumple::app
