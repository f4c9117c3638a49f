#pragma once

#include <QWidget>

namespace krumple::app {

// The right pane while no file is selected: a symbol over "Select a file to compare".
class PlaceholderView : public QWidget {
    Q_OBJECT
public:
    explicit PlaceholderView(QWidget* parent = nullptr);
};

}  // namespace krumple::app
