#pragma once

#include <QFileDialog>
#include <QStringList>

namespace krumple::app {

// A file dialog in which files and folders can be picked together, several
// at once. Double-clicking a folder opens it; the accept button ("Add") takes
// whatever is selected, folders included.
class AddFilesDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit AddFilesDialog(QWidget* parent = nullptr);

    // What the user confirmed, in the dialog's order.
    const QStringList& chosen() const { return chosen_; }

public Q_SLOTS:
    void accept() override;

private:
    void allowPickingSeveral();
    QStringList chosen_;
};

}  // namespace krumple::app
