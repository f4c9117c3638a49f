#include "text_styles.h"

#include <algorithm>

#include <QPalette>
#include <QWidget>

namespace krumple::TextStyle {

namespace {
QFont resized(const QWidget& widget, double delta) {
    QFont font = widget.font();
    if (font.pointSizeF() > 0) font.setPointSizeF(std::max(7.0, font.pointSizeF() + delta));
    return font;
}
}  // namespace

QFont headline(const QWidget& widget) {
    QFont font = resized(widget, 0);
    font.setWeight(QFont::Bold);
    return font;
}

QFont subheadlineSemibold(const QWidget& widget) {
    QFont font = resized(widget, -1);
    font.setWeight(QFont::DemiBold);
    return font;
}

QFont caption(const QWidget& widget) { return resized(widget, -2); }

QColor secondary(const QWidget& widget) {
    QColor c = widget.palette().color(QPalette::WindowText);
    c.setAlphaF(0.6f);
    return c;
}

void makeSecondary(QWidget& widget) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, secondary(widget));
    palette.setColor(QPalette::Text, secondary(widget));
    widget.setPalette(palette);
}

}  // namespace krumple::TextStyle
