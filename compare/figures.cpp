#include "figures.h"

#include <algorithm>

#include <QPainter>

namespace krumple::figures {
namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

std::function<qreal(const QString&)> advanceIn(const QFontMetricsF& metrics) {
    return [&metrics](const QString& run) { return metrics.horizontalAdvance(run); };
}

qreal digitCell(const std::function<qreal(const QString&)>& advance) {
    qreal cell = 0;
    for (char16_t d = u'0'; d <= u'9'; ++d) cell = std::max(cell, advance(QString(QChar(d))));
    return cell;
}

}  // namespace

std::vector<qreal> layout(const QString& text, const std::function<qreal(const QString&)>& advance) {
    const qreal cell = digitCell(advance);
    std::vector<qreal> starts;
    starts.reserve(std::size_t(text.size()) + 1);
    qreal x = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        if (isDigit(text[i])) {
            starts.push_back(x);
            x += cell;
            ++i;
            continue;
        }
        // Other characters are measured as runs, keeping the font's kerning.
        qsizetype end = i;
        while (end < text.size() && !isDigit(text[end])) ++end;
        const QString run = text.mid(i, end - i);
        for (qsizetype k = i; k < end; ++k) starts.push_back(x + advance(run.left(k - i)));
        x += advance(run);
        i = end;
    }
    starts.push_back(x);
    return starts;
}

qreal width(const QFontMetricsF& metrics, const QString& text) { return layout(text, advanceIn(metrics)).back(); }

QString elided(const QFontMetricsF& metrics, const QString& text, Qt::TextElideMode mode, qreal available) {
    const qreal whole = width(metrics, text);
    if (whole <= available) return text;
    // Digits take at least their own advance, so the font's eliding with the
    // difference taken off never overflows.
    return metrics.elidedText(text, mode, std::max<qreal>(0, available - (whole - metrics.horizontalAdvance(text))));
}

void draw(QPainter& painter, const QRectF& box, Qt::Alignment alignment, const QString& text) {
    const QFontMetricsF metrics(painter.font());
    const auto advance = advanceIn(metrics);
    const std::vector<qreal> starts = layout(text, advance);
    qreal left = box.left();
    if (alignment & Qt::AlignRight) left = box.right() - starts.back();
    else if (alignment & Qt::AlignHCenter) left = box.left() + (box.width() - starts.back()) / 2;
    const qreal baseline = box.top() + (box.height() - metrics.height()) / 2 + metrics.ascent();
    const qreal cell = digitCell(advance);
    qsizetype i = 0;
    while (i < text.size()) {
        if (isDigit(text[i])) {
            const qreal inset = (cell - metrics.horizontalAdvance(text[i])) / 2;
            painter.drawText(QPointF(left + starts[std::size_t(i)] + inset, baseline), QString(text[i]));
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && !isDigit(text[end])) ++end;
        painter.drawText(QPointF(left + starts[std::size_t(i)], baseline), text.mid(i, end - i));
        i = end;
    }
}

}  // namespace krumple::figures
