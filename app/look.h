#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

class QWidget;

namespace krumple::app::look {

// Text styles, scaled from the application's font so they follow the desktop.
QFont title3();
QFont callout();
QFont caption();
QFont semibold(QFont font);

// Foreground styles of the given palette.
QColor primary(const QPalette& palette);
QColor secondary(const QPalette& palette);
QColor tertiary(const QPalette& palette);
QColor accent(const QPalette& palette);

// Status colours, lighter on dark backgrounds so they stay readable.
QColor green(const QPalette& palette);
QColor orange(const QPalette& palette);
QColor red(const QPalette& palette);

bool isDark(const QPalette& palette);

// `top` composed over the opaque `bottom`.
QColor over(const QColor& top, const QColor& bottom);
// WCAG 2 contrast ratio of two opaque colours, 1 to 21.
double contrast(const QColor& a, const QColor& b);
// `text` (composed over `background` when translucent) moved towards black
// or white, whichever the background allows, until it has `ratio` against it.
QColor readableOn(const QColor& text, const QColor& background, double ratio = 4.5);
// The palette with its highlight darkened (or lightened) until highlighted
// text reads at 4.5:1 on it: selections, chosen segments and the Convert button.
QPalette withReadableHighlight(QPalette palette);

// Gives `widget` a text colour; disabled, it greys out as usual.
void setForeground(QWidget* widget, const QColor& color);

}  // namespace krumple::app::look
