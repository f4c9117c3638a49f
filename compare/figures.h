#pragma once

#include <functional>
#include <vector>

#include <QFontMetricsF>
#include <QRectF>
#include <QString>

class QPainter;

namespace krumple::figures {

// Numbers that change while a batch runs are set with every digit in a cell
// as wide as the widest digit, so they don't jitter from one update to the
// next. Fonts with proportional digits would otherwise shift them, and
// Qt 6.4 can't ask the font for its tabular figures.

// Where each character of `text` starts, and (last) the width of the whole:
// `advance` measures a run of characters in the font.
std::vector<qreal> layout(const QString& text, const std::function<qreal(const QString&)>& advance);

qreal width(const QFontMetricsF& metrics, const QString& text);
// `text` shortened with "…" so that, set this way, it fits `width`.
QString elided(const QFontMetricsF& metrics, const QString& text, Qt::TextElideMode mode, qreal width);
// Draws `text` in the painter's font and pen, aligned in `box` and centred
// vertically.
void draw(QPainter& painter, const QRectF& box, Qt::Alignment alignment, const QString& text);

}  // namespace krumple::figures
