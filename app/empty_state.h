#pragma once

#include <QWidget>

class QPushButton;

namespace krumple::app {

// What the file list shows while it is empty: an invitation to drop files,
// and a button that opens the add panel.
class EmptyState : public QWidget {
    Q_OBJECT
public:
    explicit EmptyState(QWidget* parent = nullptr);

    QPushButton* addButton() const { return addButton_; }

Q_SIGNALS:
    void addRequested();

private:
    QPushButton* addButton_;
};

}  // namespace krumple::app
