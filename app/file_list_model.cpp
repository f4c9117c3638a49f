#include "file_list_model.h"

#include <algorithm>

#include "paths.h"
#include "row_status.h"

namespace krumple::app {
namespace {

// Runs of consecutive rows in an ascending list, as [first, last] pairs.
std::vector<std::pair<int, int>> runs(const std::vector<std::size_t>& rows) {
    std::vector<std::pair<int, int>> result;
    for (const std::size_t row : rows) {
        const int r = static_cast<int>(row);
        if (!result.empty() && result.back().second + 1 == r)
            result.back().second = r;
        else
            result.emplace_back(r, r);
    }
    return result;
}

}  // namespace

FileListModel::FileListModel(Store& store, QObject* parent)
    : QAbstractListModel(parent), store_(store), watch_(store, [this](const StoreChange& change) {
          if (change.field == StoreField::items) itemsChanged(change);
      }) {
    for (const ImageItem& it : store_.items()) ids_.push_back(it.id);
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(ids_.size());
}

const ImageItem* FileListModel::item(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= ids_.size()) return nullptr;
    return store_.item(ids_[static_cast<std::size_t>(row)]);
}

const ImageItem* FileListModel::item(const QModelIndex& index) const {
    return index.isValid() ? item(index.row()) : nullptr;
}

QModelIndex FileListModel::indexOf(ItemId id) const {
    const auto found = std::find(ids_.begin(), ids_.end(), id);
    if (found == ids_.end()) return {};
    return index(static_cast<int>(found - ids_.begin()));
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    const ImageItem* it = item(index);
    if (!it) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: return role == Qt::DisplayRole ? displayName(it->url) : displayPath(it->url);
    // What the row paints, for screen readers: name, size, status.
    case Qt::AccessibleTextRole: {
        QStringList parts{displayName(it->url), sizeCaption(*it)};
        const QString status = rowStatus(*it, QPalette()).text;
        if (!status.isEmpty()) parts << status;
        parts.removeAll(QString());
        return parts.join(QStringLiteral(", "));
    }
    default: return {};
    }
}

void FileListModel::itemsChanged(const StoreChange& change) {
    changingRows_ = true;
    switch (change.edit) {
    case StoreChange::ItemsEdit::appended: {
        if (change.ids.empty()) break;
        const int first = static_cast<int>(ids_.size());
        beginInsertRows({}, first, first + static_cast<int>(change.ids.size()) - 1);
        ids_.insert(ids_.end(), change.ids.begin(), change.ids.end());
        endInsertRows();
        break;
    }
    case StoreChange::ItemsEdit::removed: {
        if (change.rows.size() == ids_.size()) {
            beginResetModel();
            ids_.clear();
            endResetModel();
            break;
        }
        // From the end, so earlier rows keep their numbers.
        const auto removed = runs(change.rows);
        for (auto run = removed.rbegin(); run != removed.rend(); ++run) {
            beginRemoveRows({}, run->first, run->second);
            ids_.erase(ids_.begin() + run->first, ids_.begin() + run->second + 1);
            endRemoveRows();
        }
        break;
    }
    case StoreChange::ItemsEdit::updated:
        for (const auto& [first, last] : runs(change.rows)) Q_EMIT dataChanged(index(first), index(last));
        break;
    }
    // A notice that doesn't match what we hold would leave the view wrong for good.
    if (ids_.size() != store_.items().size()) rebuild();
    changingRows_ = false;
}

void FileListModel::rebuild() {
    beginResetModel();
    ids_.clear();
    for (const ImageItem& it : store_.items()) ids_.push_back(it.id);
    endResetModel();
}

}  // namespace krumple::app
