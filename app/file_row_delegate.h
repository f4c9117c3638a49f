#pragma once

#include <QCache>
#include <QElapsedTimer>
#include <QPixmap>
#include <QStyledItemDelegate>

namespace krumple::app {

class FileListModel;
class ThumbCache;

// Draws one file row: the rounded thumbnail tile, the name (cut in the middle
// when too long) over its size, and the status column on the right.
class FileRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int tileSide = 44;
    static constexpr int rowHeight = tileSide + 2 * 2 + 4;  // the tile, 2 above and below, and the list's gap

    FileRowDelegate(const FileListModel& model, ThumbCache& thumbs, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QPixmap tile(const QByteArray& key, const QImage& thumb, qreal devicePixelRatio) const;

    const FileListModel& model_;
    ThumbCache& thumbs_;
    QElapsedTimer clock_;  // turns the spinners
    mutable QCache<QByteArray, QPixmap> tiles_;  // thumbnails cut to the tile, per screen scale
};

}  // namespace krumple::app
