#pragma once

#include "panels.h"

class QWidget;

namespace krumple::app {

// The store's pickers as Qt file dialogs, modal to the main window.
class QtPanels final : public Panels {
public:
    explicit QtPanels(QWidget* parent = nullptr) : parent_(parent) {}
    virtual ~QtPanels() = default;

    void setParent(QWidget* parent) { parent_ = parent; }

    // Files and folders together, several at once, prompt "Add".
    std::vector<std::filesystem::path> chooseFilesToAdd() override;
    // One folder, new folders allowed, prompt "Choose".
    std::optional<std::filesystem::path> chooseOutputFolder() override;

private:
    QWidget* parent_;
};

}  // namespace krumple::app
