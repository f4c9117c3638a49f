#pragma once

#include <QColor>
#include <QFont>

class QWidget;

namespace krumple::TextStyle {

// Named text styles, derived from the widget's own font.
QFont headline(const QWidget& widget);
QFont subheadlineSemibold(const QWidget& widget);
QFont caption(const QWidget& widget);

// Text that matters less than its neighbours.
QColor secondary(const QWidget& widget);
// Gives `widget` the secondary text colour.
void makeSecondary(QWidget& widget);

}  // namespace krumple::TextStyle
