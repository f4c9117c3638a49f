#pragma once

#include <QPointer>

#include "compare_seat.h"
#include "compare_view.h"

namespace krumple::app {

// The right pane's comparison: one CompareView for the window's whole life,
// so the loupe zoom and a still-valid original survive selection changes.
class CompareViewSeat final : public CompareSeat {
public:
    // The window owns the widget once placed; the pointer goes null if it is gone first.
    ~CompareViewSeat() override { delete view_; }
    QWidget* widget() override { return view_; }
    void showItem(const ImageItem& item) override { view_->setItem(item); }
    void showNothing() override { view_->setItem(std::nullopt); }

private:
    QPointer<CompareView> view_ = new CompareView;
};

}  // namespace krumple::app
