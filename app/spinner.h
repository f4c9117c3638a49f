#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace krumple::app {

// An indeterminate progress spinner: spokes fading round a circle, turning
// once a second. `msecs` is any steadily growing clock.
void paintSpinner(QPainter& painter, const QRectF& box, const QColor& color, qint64 msecs);

// How often a spinner needs redrawing to turn smoothly.
inline constexpr int spinnerFrameMsecs = 1000 / 12;

}  // namespace krumple::app
