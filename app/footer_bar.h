#pragma once

#include <QWidget>

#include "elided_label.h"
#include "store_watch.h"

class QProgressBar;
class QPushButton;

class QBoxLayout;
class QHBoxLayout;

namespace krumple::app {

// The bottom of the left pane: the list's totals, the batch's progress, and
// Clear, Convert and Cancel.
class FooterBar : public QWidget {
    Q_OBJECT
public:
    explicit FooterBar(Store& store, QWidget* parent = nullptr);

    QProgressBar* progress() const { return progress_; }
    ElidedLabel* headline() const { return headline_; }
    ElidedLabel* convertedLine() const { return converted_; }
    QPushButton* clearButton() const { return clear_; }
    QPushButton* convertButton() const { return convert_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The totals beside the buttons when they fit there whole, else above them.
    void placeTotals();

    void refresh();
    void refreshTotals();

    Store& store_;
    QProgressBar* progress_;
    ElidedLabel* headline_;
    ElidedLabel* converted_;
    QPushButton* clear_;
    QPushButton* convert_;
    QPushButton* cancel_;
    QBoxLayout* line_ = nullptr;
    QHBoxLayout* buttons_ = nullptr;
    bool wasRunning_ = false;
    StoreWatch watch_;
};

}  // namespace krumple::app
