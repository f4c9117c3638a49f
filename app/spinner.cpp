#include "spinner.h"

#include <cmath>

#include <QPainter>

namespace krumple::app {

void paintSpinner(QPainter& painter, const QRectF& box, const QColor& color, qint64 msecs) {
    constexpr int spokes = 12;
    const qreal side = std::min(box.width(), box.height());
    const int lead = static_cast<int>((msecs / spinnerFrameMsecs) % spokes);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center());
    QPen pen(color, std::max<qreal>(1.5, side / 9), Qt::SolidLine, Qt::RoundCap);
    for (int i = 0; i < spokes; ++i) {
        // The leading spoke is solid, those behind it fade out.
        const int behind = (lead - i + spokes) % spokes;
        QColor c = color;
        c.setAlphaF(static_cast<float>(color.alphaF() * (1.0 - 0.75 * behind / (spokes - 1))));
        pen.setColor(c);
        painter.setPen(pen);
        painter.save();
        painter.rotate(360.0 * i / spokes);
        painter.drawLine(QPointF(0, -side * 0.24), QPointF(0, -side * 0.46));
        painter.restore();
    }
    painter.restore();
}

}  // namespace krumple::app
