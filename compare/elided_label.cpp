#include "elided_label.h"

#include <QFontMetrics>
#include <QPainter>

namespace krumple {

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, Qt::Alignment alignment, QWidget* parent)
    : QWidget(parent), mode_(mode), alignment_(alignment) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    setAccessibleName(text);
    updateToolTip();
    updateGeometry();
    update();
}

void ElidedLabel::resizeEvent(QResizeEvent*) { updateToolTip(); }

void ElidedLabel::updateToolTip() { setToolTip(shownText() == text_ ? QString() : text_); }

QString ElidedLabel::shownText() const { return fontMetrics().elidedText(text_, mode_, width()); }

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(text_), metrics.height()};
}

QSize ElidedLabel::minimumSizeHint() const { return {0, fontMetrics().height()}; }

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), int(alignment_ | Qt::AlignVCenter), shownText());
}

}  // namespace krumple
