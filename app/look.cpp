#include "look.h"

#include <algorithm>
#include <cmath>

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

// Light ones at 5:1 and more on white, dark ones on near-black.
QColor green(const QPalette& palette) { return isDark(palette) ? QColor(0x32, 0xd7, 0x4b) : QColor(0x17, 0x7a, 0x33); }
QColor orange(const QPalette& palette) { return isDark(palette) ? QColor(0xff, 0x9f, 0x0a) : QColor(0xad, 0x4e, 0x00); }
QColor red(const QPalette& palette) { return isDark(palette) ? QColor(0xff, 0x7a, 0x70) : QColor(0xd7, 0x00, 0x15); }

namespace {
double luminance(const QColor& c) {
    const auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

}  // namespace

QColor over(const QColor& top, const QColor& bottom) {
    const double a = top.alphaF();
    return QColor::fromRgbF(static_cast<float>(top.redF() * a + bottom.redF() * (1 - a)),
                            static_cast<float>(top.greenF() * a + bottom.greenF() * (1 - a)),
                            static_cast<float>(top.blueF() * a + bottom.blueF() * (1 - a)));
}

namespace {
QColor mixed(const QColor& from, const QColor& to, double t) {
    return QColor::fromRgbF(static_cast<float>(from.redF() + (to.redF() - from.redF()) * t),
                            static_cast<float>(from.greenF() + (to.greenF() - from.greenF()) * t),
                            static_cast<float>(from.blueF() + (to.blueF() - from.blueF()) * t));
}

// `moving` mixed towards `goal` in steps until it has `ratio` against `fixed`.
QColor until(const QColor& moving, const QColor& goal, const QColor& fixed, double ratio) {
    QColor c = moving;
    for (int step = 1; step <= 20 && contrast(c, fixed) < ratio; ++step) c = mixed(moving, goal, step / 20.0);
    return c;
}
}  // namespace

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& text, const QColor& background, double ratio) {
    const QColor shown = over(text, over(background, Qt::white));
    const QColor bg = over(background, Qt::white);
    return until(shown, luminance(bg) > 0.18 ? QColor(Qt::black) : QColor(Qt::white), bg, ratio);
}

QPalette withReadableHighlight(QPalette palette) {
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        const QColor text = palette.color(group, QPalette::HighlightedText);
        const QColor fill = palette.color(group, QPalette::Highlight);
        palette.setColor(group, QPalette::Highlight,
                         until(fill, luminance(text) > 0.18 ? QColor(Qt::black) : QColor(Qt::white), text, 4.5));
    }
    return palette;
}

void setForeground(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) palette.setColor(group, QPalette::WindowText, color);
    widget->setPalette(palette);
}

}  // namespace krumple::app::look
