#include "elided_label.h"

#include <cmath>

#include <QFontMetrics>
#include <QPainter>

#include "figures.h"

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

QString ElidedLabel::shownText() const { return figures::elided(QFontMetricsF(font()), text_, mode_, width()); }

QSize ElidedLabel::sizeHint() const {
    return {int(std::ceil(figures::width(QFontMetricsF(font()), text_))), fontMetrics().height()};
}

QSize ElidedLabel::minimumSizeHint() const { return {0, fontMetrics().height()}; }

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    figures::draw(painter, rect(), alignment_, shownText());
}

}  // namespace krumple
