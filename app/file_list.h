#pragma once

#include <functional>

#include <QTimer>
#include <QWidget>

#include "store_watch.h"

class QListView;
class QMenu;
class QStackedLayout;

namespace krumple::app {

class EmptyState;
class FileListModel;
class FileRowDelegate;
class ThumbCache;

// The middle of the left pane: the store's items as a selectable list, or,
// while there are none, the invitation to drop files. The row selection is
// the store's selection; Backspace and the context menu remove rows (Delete
// is the window's Edit menu command).
class FileList : public QWidget {
    Q_OBJECT
public:
    using Reveal = std::function<void(const std::filesystem::path&)>;

    FileList(Store& store, ThumbCache& thumbs, QWidget* parent = nullptr);
    ~FileList() override;

    QListView* view() const { return view_; }
    EmptyState* emptyState() const { return empty_; }
    FileListModel* model() const { return model_; }
    bool showsEmptyState() const;

    // The context menu of a row, built from the item as it is now.
    QMenu* contextMenu(const ImageItem& item, QWidget* parent);
    // Where "Show … in File Manager" goes (tests put a recorder here).
    void setReveal(Reveal reveal) { reveal_ = std::move(reveal); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void storeChanged(const StoreChange& change);
    void showSelection();
    void selectionPicked();
    void visibleRowsChanged();
    void thumbnailLoaded(const QByteArray& path);
    void turnSpinners();
    std::pair<int, int> visibleRows() const;

    Store& store_;
    ThumbCache& thumbs_;
    FileListModel* model_;
    FileRowDelegate* delegate_;
    QListView* view_;
    EmptyState* empty_;
    QStackedLayout* pages_;
    QTimer spinnerTimer_;
    Reveal reveal_;
    bool syncingSelection_ = false;
    StoreWatch watch_;
};

}  // namespace krumple::app
