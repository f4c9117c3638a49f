#include "segmented_picker.h"

#include <algorithm>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "accessible_controls.h"
#include "look.h"

namespace krumple::app {
namespace {

constexpr int horizontalPadding = 10;
constexpr qreal radius = 5;

}  // namespace

SegmentedPicker::SegmentedPicker(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SegmentedPicker::setLabels(const QStringList& labels) {
    labels_ = labels;
    if (current_ >= labels_.size()) current_ = -1;
    updateGeometry();
    update();
}

void SegmentedPicker::setCurrentIndex(int index) {
    if (index < -1 || index >= labels_.size()) index = -1;
    if (index == current_) return;
    announceChoice(this, current_, index);
    current_ = index;
    update();
}

int SegmentedPicker::segmentWidth() const {
    int widest = 0;
    for (const QString& label : labels_) widest = std::max(widest, fontMetrics().horizontalAdvance(label));
    return widest + 2 * horizontalPadding;
}

QSize SegmentedPicker::sizeHint() const {
    const int height = std::max(fontMetrics().height() + 10, 24);
    return {std::max<int>(static_cast<int>(labels_.size()) * segmentWidth(), 40), height};
}

QSize SegmentedPicker::minimumSizeHint() const { return sizeHint(); }

QRect SegmentedPicker::segmentRect(int index) const {
    if (index < 0 || index >= labels_.size()) return {};
    const auto count = static_cast<int>(labels_.size());
    // Segments share the width evenly; the last one takes the remainder.
    const int left = width() * index / count;
    const int right = width() * (index + 1) / count;
    return {left, 0, right - left, height()};
}

void SegmentedPicker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const bool enabled = isEnabled();
    if (!enabled) painter.setOpacity(0.5);

    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath outline;
    outline.addRoundedRect(frame, radius, radius);
    painter.fillPath(outline, pal.color(QPalette::Button));

    if (current_ >= 0) {
        painter.save();
        painter.setClipPath(outline);
        painter.fillRect(segmentRect(current_), look::accent(pal));
        painter.restore();
    }

    QColor line = pal.color(QPalette::Mid);
    painter.setPen(QPen(line, 1));
    for (int i = 1; i < labels_.size(); ++i) {
        if (i == current_ || i - 1 == current_) continue;  // no line beside the chosen segment
        const qreal x = segmentRect(i).left() + 0.5;
        painter.drawLine(QPointF(x, frame.top() + 4), QPointF(x, frame.bottom() - 4));
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(hasFocus() ? look::accent(pal) : line, hasFocus() ? 2 : 1));
    painter.drawPath(outline);

    for (int i = 0; i < labels_.size(); ++i) {
        painter.setPen(i == current_ ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::ButtonText));
        painter.drawText(segmentRect(i), Qt::AlignCenter,
                         fontMetrics().elidedText(labels_[i], Qt::ElideRight, segmentRect(i).width() - 4));
    }
}

void SegmentedPicker::choose(int index) {
    if (index < 0 || index >= labels_.size() || index == current_) return;
    announceChoice(this, current_, index);
    current_ = index;
    update();
    Q_EMIT picked(index);
}

void SegmentedPicker::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    for (int i = 0; i < labels_.size(); ++i)
        if (segmentRect(i).contains(event->position().toPoint())) choose(i);
}

void SegmentedPicker::keyPressEvent(QKeyEvent* event) {
    const int last = static_cast<int>(labels_.size()) - 1;
    switch (event->key()) {
    case Qt::Key_Left: choose(std::max(0, current_ - 1)); break;
    case Qt::Key_Right: choose(std::min(last, current_ + 1)); break;
    case Qt::Key_Home: choose(0); break;
    case Qt::Key_End: choose(last); break;
    default: QWidget::keyPressEvent(event);
    }
}

}  // namespace krumple::app
