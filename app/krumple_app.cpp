#include "krumple_app.h"

#include <QApplication>

#include "compare_view_seat.h"
#include "look.h"
#include "main_window.h"
#include "store.h"
#include "thumb_cache.h"

namespace krumple::app {

namespace {
// Before any window: every widget then takes the readable highlight.
bool readableHighlight() {
    QApplication::setPalette(look::withReadableHighlight(QApplication::palette()));
    return true;
}
}  // namespace

KrumpleApp::KrumpleApp()
    : highlightSet_(readableHighlight()),
      executor_(&mainThread_),
      store_(std::make_shared<Store>(executor_.executor())),
      window_(std::make_unique<MainWindow>(*store_, ThumbCache::shared())) {
    panels_.setParent(window_.get());
    store_->setPanels(&panels_);
    window_->setCompareSeat(std::make_unique<CompareViewSeat>());
}

KrumpleApp::~KrumpleApp() {
    window_.reset();  // its widgets stop watching the store
    store_->setPanels(nullptr);
    // Work still running reports nowhere from now on; the store cancels its batch.
    executor_.close();
    store_.reset();
}

void KrumpleApp::show() {
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace krumple::app
