#include "look.h"

#include <QApplication>
#include <QWidget>

namespace krumple::app::look {
namespace {

QFont scaled(double factor) {
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * factor);
    return font;
}

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

}  // namespace

QFont title3() { return scaled(1.25); }
QFont callout() { return scaled(0.95); }
QFont caption() { return scaled(0.85); }

QFont semibold(QFont font) {
    font.setWeight(QFont::DemiBold);
    return font;
}

QColor primary(const QPalette& palette) { return palette.color(QPalette::WindowText); }
QColor secondary(const QPalette& palette) { return withAlpha(primary(palette), 0.62); }
QColor tertiary(const QPalette& palette) { return withAlpha(primary(palette), 0.32); }
QColor accent(const QPalette& palette) { return palette.color(QPalette::Highlight); }

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightnessF() < 0.5; }

QColor green(const QPalette& palette) { return isDark(palette) ? QColor(0x32, 0xd7, 0x4b) : QColor(0x1e, 0x8e, 0x3e); }
QColor orange(const QPalette& palette) { return isDark(palette) ? QColor(0xff, 0x9f, 0x0a) : QColor(0xc9, 0x5a, 0x00); }
QColor red(const QPalette& palette) { return isDark(palette) ? QColor(0xff, 0x45, 0x3a) : QColor(0xd7, 0x00, 0x15); }

void setForeground(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) palette.setColor(group, QPalette::WindowText, color);
    widget->setPalette(palette);
}

}  // namespace krumple::app::look
