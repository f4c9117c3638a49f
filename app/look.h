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

// Gives `widget` a text colour; disabled, it greys out as usual.
void setForeground(QWidget* widget, const QColor& color);

}  // namespace krumple::app::look
