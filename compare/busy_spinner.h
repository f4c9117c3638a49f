#pragma once

#include <QBasicTimer>
#include <QWidget>

namespace krumple {

// An indeterminate progress indicator: an arc turning in the middle of the
// widget, animated only while visible.
class BusySpinner : public QWidget {
    Q_OBJECT
public:
    explicit BusySpinner(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QBasicTimer timer_;
    int angle_ = 0;
};

}  // namespace krumple
