#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace krumple::app::icons {

// The symbols the window draws. Each comes from the desktop's icon theme when
// it has a monochrome ("symbolic") one, else from our own bundled drawing.
enum class Symbol {
    splitPanes,  // the empty comparison pane
    photoStack,  // the empty file list
    warning,     // a failed row
};

QIcon icon(Symbol symbol);
// The symbol as a silhouette in `color`, `size` in logical pixels, sharp at `devicePixelRatio`.
QPixmap tinted(Symbol symbol, QSize size, const QColor& color, qreal devicePixelRatio);
// Our own drawing only (what shows when the theme has no such icon).
QIcon bundled(Symbol symbol);
QIcon applicationIcon();

}  // namespace krumple::app::icons
