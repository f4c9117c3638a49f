#pragma once

#include <QTest>
#include <QtWidgets>

// The window's pieces the tests look at.
#include "add_files_dialog.h"
#include "compare_seat.h"
#include "drop_overlay.h"
#include "drop_target.h"
#include "empty_state.h"
#include "file_list.h"
#include "file_list_model.h"
#include "fmt.h"
#include "footer_bar.h"
#include "hang_limit.h"
#include "look.h"
#include "main_window.h"
#include "paths.h"
#include "placeholder_view.h"
#include "qt_executor.h"
#include "row_status.h"
#include "segmented_picker.h"
#include "settings_panel.h"
#include "test_support.h"
#include "thumb_cache.h"
#include "translations.h"
#include "whole_number_field.h"

namespace krumple::app {

// Pickers that answer what the test set, and count how often they were asked.
struct FakePanels final : Panels {
    std::vector<std::filesystem::path> chooseFilesToAdd() override { ++addAsked; return filesToAdd; }
    std::optional<std::filesystem::path> chooseOutputFolder() override { ++folderAsked; return folder; }
    std::vector<std::filesystem::path> filesToAdd;
    std::optional<std::filesystem::path> folder;
    int addAsked = 0;
    int folderAsked = 0;
};

// A store that reports through the Qt event loop, as in the window, with a
// scratch folder for pictures.
class AppFixture {
public:
    // JPEG: the quickest encoder there is.
    AppFixture() { store_->setPanels(&panels); store_->setFormat(OutputFormat::jpeg); }
    ~AppFixture() { executor_.close(); }

    Store& store() { return *store_; }
    const std::filesystem::path& folder() const { return dir_.path(); }
    std::filesystem::path image(const std::string& name, int width = 24, int height = 16) {
        test::makePng(dir_ / name, width, height);
        return dir_ / name;
    }
    std::vector<std::filesystem::path> images(int count, int width = 24, int height = 16) {
        std::vector<std::filesystem::path> paths;
        for (int i = 1; i <= count; ++i) paths.push_back(image("img" + std::to_string(i) + ".png", width, height));
        return paths;
    }
    // Adds and waits until the rows are in. False on a timeout.
    bool addAndWait(const std::vector<std::filesystem::path>& paths) {
        auto done = std::make_shared<bool>(false);
        store_->add(paths, [done](std::size_t) { *done = true; });
        return QTest::qWaitFor([done] { return *done; }, test::hangLimitMs);
    }
    bool waitForBatchEnd() {
        return QTest::qWaitFor([this] { return !store_->isRunning(); }, test::hangLimitMs);
    }

    FakePanels panels;

private:
    // English's plural forms ("1 file"), as the window loads them under every language.
    Translations english_{QLocale(QLocale::English), QStringLiteral(KRUMPLE_TRANSLATIONS_DIR)};
    QObject mainThread_;
    QtExecutor executor_{&mainThread_};
    std::shared_ptr<Store> store_ = std::make_shared<Store>(executor_.executor());
    test::TempDir dir_;
};

}  // namespace krumple::app
