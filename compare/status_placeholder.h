#pragma once

#include <QWidget>

#include "image_item.h"

class QLabel;

namespace krumple {

class BusySpinner;

// What the converted pane shows while it has no image, by the item's status:
// "Not converted yet", a spinner over "Converting…", a spinner alone (the
// image is loading), or the failure message in red with a warning sign.
class StatusPlaceholder : public QWidget {
    Q_OBJECT
public:
    explicit StatusPlaceholder(QWidget* parent = nullptr);
    void setStatus(const ItemStatus& status);

private:
    BusySpinner* spinner_;
    QLabel* text_;
    QWidget* failure_;
    QLabel* failureText_;
};

}  // namespace krumple
