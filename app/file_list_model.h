#pragma once

#include <optional>
#include <vector>

#include <QAbstractListModel>

#include "item_id.h"
#include "store_watch.h"

namespace krumple::app {

// The store's items as a list model: one row per item, in the store's order.
// It follows the store's change notices row by row, so a result repaints only
// its own row and 10,000 appended items are one insertion.
class FileListModel : public QAbstractListModel {
    Q_OBJECT
public:

    FileListModel(Store& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The item of a row, or nullptr.
    const ImageItem* item(const QModelIndex& index) const;
    const ImageItem* item(int row) const;
    QModelIndex indexOf(ItemId id) const;
    // True while rows are being inserted or removed: the view then moves its
    // current row on its own, which is no choice of the user's.
    bool changingRows() const { return changingRows_; }

private:
    void itemsChanged(const StoreChange& change);
    void rebuild();

    Store& store_;
    // The rows as the view knows them. The store tells us after it changed, so
    // the view's notion of the list is kept here until we have told it.
    std::vector<ItemId> ids_;
    bool changingRows_ = false;
    StoreWatch watch_;
};

}  // namespace krumple::app
