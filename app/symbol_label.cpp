#include "symbol_label.h"

#include <QPainter>

#include "look.h"

namespace krumple::app {

SymbolLabel::SymbolLabel(icons::Symbol symbol, int side, QWidget* parent)
    : QWidget(parent), symbol_(symbol), side_(side) {
    setFixedSize(side, side);
}

void SymbolLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, icons::tinted(symbol_, QSize(side_, side_), look::tertiary(palette()), devicePixelRatioF()));
}

}  // namespace krumple::app
