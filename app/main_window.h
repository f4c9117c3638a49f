#pragma once

#include <memory>

#include <QMainWindow>

#include "store_watch.h"

class QSplitter;
class QStackedWidget;

namespace krumple::app {

class CompareSeat;
class DropOverlay;
class DropTarget;
class FileList;
class FooterBar;
class PlaceholderView;
class SettingsPanel;
class ThumbCache;

// The one window: settings, file list and footer on the left, the comparison
// of the selected file on the right. All of it takes dropped files and folders.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int minimumContentWidth = 1000;
    static constexpr int minimumContentHeight = 620;
    static constexpr int leftMinimumWidth = 460;
    static constexpr int leftIdealWidth = 500;
    static constexpr int rightMinimumWidth = 420;
    // A size above for this window's font.
    int scaled(int pixels) const;

    MainWindow(Store& store, ThumbCache& thumbs, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Places the comparison view; from then on it shows whenever a file is
    // selected, and the placeholder otherwise.
    void setCompareSeat(std::unique_ptr<CompareSeat> seat);

    QSplitter* splitter() const { return splitter_; }
    QWidget* leftPane() const { return left_; }
    QStackedWidget* rightPane() const { return right_; }
    PlaceholderView* placeholder() const { return placeholder_; }
    SettingsPanel* settingsPanel() const { return settings_; }
    FileList* fileList() const { return list_; }
    FooterBar* footer() const { return footer_; }
    DropTarget* dropTarget() const { return drop_; }
    DropOverlay* dropOverlay() const { return overlay_; }

private:
    void showSelected();
    void enableCommands();

    Store& store_;
    QSplitter* splitter_;
    QWidget* left_;
    QStackedWidget* right_;
    PlaceholderView* placeholder_;
    SettingsPanel* settings_;
    FileList* list_;
    FooterBar* footer_;
    DropTarget* drop_;
    DropOverlay* overlay_;
    QAction* delete_ = nullptr;
    QAction* convert_ = nullptr;
    QAction* clear_ = nullptr;
    QAction* cancel_ = nullptr;
    std::unique_ptr<CompareSeat> seat_;
    std::optional<ImageItem> shown_;  // what the seat was last handed
    StoreWatch watch_;
};

}  // namespace krumple::app
