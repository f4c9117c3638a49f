#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include <QColor>
#include <QObject>
#include <QTemporaryDir>

#include "panels.h"
#include "qt_executor.h"
#include "store.h"

namespace krumple::app::testing {

// Pickers that answer what the test set, and count how often they were asked.
class FakePanels final : public Panels {
public:
    virtual ~FakePanels() = default;
    std::vector<std::filesystem::path> chooseFilesToAdd() override {
        ++addAsked;
        return filesToAdd;
    }
    std::optional<std::filesystem::path> chooseOutputFolder() override {
        ++folderAsked;
        return folder;
    }
    std::vector<std::filesystem::path> filesToAdd;
    std::optional<std::filesystem::path> folder;
    int addAsked = 0;
    int folderAsked = 0;
};

// A store that reports through the Qt event loop, as in the window, with a
// scratch folder for pictures.
class AppFixture {
public:
    AppFixture();
    ~AppFixture();

    Store& store() { return *store_; }
    const std::filesystem::path& folder() const { return folder_; }
    FakePanels panels;

    // A small noisy PNG (so encoders have something to squeeze) under the scratch folder.
    std::filesystem::path writeImage(const std::string& name, int side = 48, QColor tint = QColor(200, 80, 40));
    std::vector<std::filesystem::path> writeImages(int count, const std::string& stem = "img");
    // Adds and waits until the rows are in. False on a timeout.
    bool addAndWait(const std::vector<std::filesystem::path>& paths);
    // Waits until no batch runs. False on a timeout.
    bool waitForBatchEnd();

private:
    QObject mainThread_;
    QtExecutor executor_;
    std::shared_ptr<Store> store_;
    QTemporaryDir dir_;
    std::filesystem::path folder_;
};

}  // namespace krumple::app::testing
