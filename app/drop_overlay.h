#pragma once

#include <QWidget>

namespace krumple::app {

// The drop highlight: a dashed accent outline with a faint accent tint, 6
// points inside the edges of the widget it covers. It lets every mouse event
// through and follows its parent's size.
class DropOverlay : public QWidget {
    Q_OBJECT
public:
    explicit DropOverlay(QWidget* covered);

    static constexpr int inset = 6;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace krumple::app
