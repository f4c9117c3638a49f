#pragma once

#include <QRectF>

#include "compare_geometry.h"

class QPainter;

namespace krumple {

class ScaledImages;

// The circular magnifier. Painted straight onto its pane, so it is never a
// target for the pointer.
namespace Loupe {

// The loupe for the normalised point `n` of an image fitted into `fit`
// (painter coordinates), magnified `zoom` times its fitted size, `d` points
// across: image (black where it doesn't reach) clipped to the circle, a white
// 3-point and a faint black 1-point ring, and a soft shadow below. The
// painter's clip bounds it.
void paint(QPainter& painter, ScaledImages& image, geom::Rect fit, geom::Point n, double zoom,
           double d = geom::loupeDiameter);

// Everything the loupe centred at `centre` may touch, shadow included.
QRectF bounds(geom::Point centre, double d = geom::loupeDiameter);

}  // namespace Loupe

}  // namespace krumple
