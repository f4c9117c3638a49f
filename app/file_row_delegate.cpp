#include "file_row_delegate.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPainterPath>

#include "figures.h"
#include "file_list_model.h"
#include "icons.h"
#include "look.h"
#include "paths.h"
#include "row_status.h"
#include "spinner.h"
#include "thumb_cache.h"

namespace krumple::app {
namespace {

constexpr int inset = 6;          // the inset list's margin around the highlight
constexpr int padding = 8;        // inside the highlight
constexpr int spacing = 10;       // between the tile, the name and the status
constexpr int minimumGap = 8;     // between the name and the status
constexpr int spinnerSide = 16;   // a small progress indicator
constexpr int spinnerGap = 6;
constexpr int symbolSide = 14;
constexpr int symbolGap = 4;
constexpr qreal tileRadius = 5;

}  // namespace

FileRowDelegate::FileRowDelegate(const FileListModel& model, ThumbCache& thumbs, QObject* parent)
    : QStyledItemDelegate(parent), model_(model), thumbs_(thumbs) {
    clock_.start();
    tiles_.setMaxCost(8 << 20);
}

QSize FileRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return {300, rowHeight};
}

QPixmap FileRowDelegate::tile(const QByteArray& key, const QImage& thumb, qreal devicePixelRatio) const {
    const int side = static_cast<int>(std::ceil(tileSide * devicePixelRatio));
    const QByteArray tileKey = key + '\0' + QByteArray::number(side);
    if (const QPixmap* cached = tiles_.object(tileKey)) return *cached;
    // Fill the square, keep the aspect ratio, cut the overflow; scaled in one
    // smooth step so the tile stays sharp on high-density screens.
    const QImage filled = thumb.scaled(side, side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    QPixmap cut = QPixmap::fromImage(filled.copy((filled.width() - side) / 2, (filled.height() - side) / 2, side, side));
    cut.setDevicePixelRatio(devicePixelRatio);
    tiles_.insert(tileKey, new QPixmap(cut), std::max<qsizetype>(1, qsizetype{side} * side * 4));
    return cut;
}

void FileRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const ImageItem* item = model_.item(index);
    if (!item) return;
    const QPalette& palette = option.palette;

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    // Highlight: selected rows in the accent colour, hovered ones faintly.
    const QRectF cell = QRectF(option.rect).adjusted(inset, 1, -inset, -1);
    QColor background = palette.color(QPalette::Base);  // what the texts must read on
    if (option.state & (QStyle::State_Selected | QStyle::State_MouseOver)) {
        // Light enough that the status colours stay readable on it.
        QColor fill = look::accent(palette);
        fill.setAlphaF(option.state & QStyle::State_Active ? 0.24f : 0.14f);
        if (!(option.state & QStyle::State_Selected)) {
            fill = look::primary(palette);
            fill.setAlphaF(0.05f);
        }
        QPainterPath highlight;
        highlight.addRoundedRect(cell, 6, 6);
        painter->fillPath(highlight, fill);
        background = look::over(fill, background);
    }

    const QRectF content = cell.adjusted(padding, 0, -padding, 0);
    const qreal middle = content.center().y();

    // Thumbnail tile.
    const QRectF tileBox(content.left(), middle - tileSide / 2.0, tileSide, tileSide);
    QPainterPath tileShape;
    tileShape.addRoundedRect(tileBox, tileRadius, tileRadius);
    QColor placeholder = look::primary(palette);
    placeholder.setAlphaF(0.12f * 0.62f);
    painter->fillPath(tileShape, placeholder);
    if (const QImage* thumb = thumbs_.find(item->url)) {
        painter->save();
        painter->setClipPath(tileShape);
        painter->drawPixmap(tileBox.topLeft(), tile(pathBytes(item->url), *thumb, painter->device()->devicePixelRatioF()));
        painter->restore();
    }

    // Status column, measured first: the name takes what is left.
    RowStatus status = rowStatus(*item, palette);
    status.color = look::readableOn(status.color, background);
    const QFont callout = look::callout();
    const QFontMetricsF calloutMetrics(callout);
    const qreal textLeft = tileBox.right() + spacing;
    const qreal widest = std::max<qreal>(0, (content.right() - textLeft) * 0.62);
    qreal statusWidth = 0;
    switch (status.look) {
    case RowStatus::Look::none: break;
    case RowStatus::Look::text:
    case RowStatus::Look::savings: statusWidth = figures::width(calloutMetrics, status.text); break;
    case RowStatus::Look::spinner:
        statusWidth = spinnerSide + spinnerGap + figures::width(calloutMetrics, status.text);
        break;
    case RowStatus::Look::failure:
        statusWidth = symbolSide + symbolGap + calloutMetrics.horizontalAdvance(status.text);
        break;
    }
    statusWidth = std::min(std::ceil(statusWidth), widest);
    const qreal statusLeft = content.right() - statusWidth;

    painter->setFont(callout);
    painter->setPen(status.color);
    const QRectF statusBox(statusLeft, content.top(), statusWidth, content.height());
    switch (status.look) {
    case RowStatus::Look::none: break;
    case RowStatus::Look::text:
    case RowStatus::Look::savings:
        figures::draw(*painter, statusBox, Qt::AlignRight,
                      figures::elided(calloutMetrics, status.text, Qt::ElideRight, statusBox.width()));
        break;
    case RowStatus::Look::spinner: {
        paintSpinner(*painter, QRectF(statusLeft, middle - spinnerSide / 2.0, spinnerSide, spinnerSide), status.color,
                     clock_.elapsed());
        const QRectF textBox = statusBox.adjusted(spinnerSide + spinnerGap, 0, 0, 0);
        figures::draw(*painter, textBox, Qt::AlignRight,
                      figures::elided(calloutMetrics, status.text, Qt::ElideRight, textBox.width()));
        break;
    }
    case RowStatus::Look::failure: {
        const qreal dpr = painter->device()->devicePixelRatioF();
        painter->drawPixmap(QPointF(statusLeft, middle - symbolSide / 2.0),
                            icons::tinted(icons::Symbol::warning, QSize(symbolSide, symbolSide), status.color, dpr));
        const QRectF textBox = statusBox.adjusted(symbolSide + symbolGap, 0, 0, 0);
        painter->drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter,
                          calloutMetrics.elidedText(status.text, Qt::ElideRight, textBox.width()));
        break;
    }
    }

    // Name over size.
    const qreal textRight = statusLeft - (statusWidth > 0 ? minimumGap : 0);
    const qreal textWidth = std::max<qreal>(0, textRight - textLeft);
    const QFont nameFont = option.font;
    const QFont captionFont = look::caption();
    const QFontMetricsF nameMetrics(nameFont);
    const QFontMetricsF captionMetrics(captionFont);
    const qreal blockHeight = nameMetrics.height() + 2 + captionMetrics.height();
    const qreal top = middle - blockHeight / 2;

    painter->setFont(nameFont);
    painter->setPen(look::readableOn(look::primary(palette), background));
    painter->drawText(QRectF(textLeft, top, textWidth, nameMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      nameMetrics.elidedText(displayName(item->url), Qt::ElideMiddle, textWidth));
    painter->setFont(captionFont);
    painter->setPen(look::readableOn(look::secondary(palette), background));
    painter->drawText(QRectF(textLeft, top + nameMetrics.height() + 2, textWidth, captionMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      captionMetrics.elidedText(sizeCaption(*item), Qt::ElideRight, textWidth));

    painter->restore();
}

}  // namespace krumple::app
