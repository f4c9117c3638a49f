#pragma once

#include <QWidget>

class QButtonGroup;

namespace krumple {

// The loupe's magnification as three joined buttons: 2×, 4×, 8×.
class ZoomControl : public QWidget {
    Q_OBJECT
public:
    explicit ZoomControl(QWidget* parent = nullptr);
    double zoom() const;
    void setZoom(double zoom);  // one of 2, 4, 8; others are ignored

Q_SIGNALS:
    void zoomChosen(double zoom);

private:
    QButtonGroup* group_;
};

}  // namespace krumple
