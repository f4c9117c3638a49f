#pragma once

#include <QWidget>

#include "icons.h"

namespace krumple::app {

// A symbol drawn at a fixed size in the palette's tertiary style, sharp at the
// screen's scale.
class SymbolLabel : public QWidget {
    Q_OBJECT
public:
    SymbolLabel(icons::Symbol symbol, int side, QWidget* parent = nullptr);

    icons::Symbol symbol() const { return symbol_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    icons::Symbol symbol_;
    int side_;
};

}  // namespace krumple::app
