#include "drop_overlay.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include "look.h"

namespace krumple::app {

DropOverlay::DropOverlay(QWidget* covered) : QWidget(covered) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(covered->rect());
    covered->installEventFilter(this);
    hide();
}

bool DropOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void DropOverlay::paintEvent(QPaintEvent*) {
    constexpr qreal lineWidth = 3;
    constexpr qreal radius = 10;
    constexpr qreal dash = 8;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    QPainterPath shape;
    shape.addRoundedRect(area, radius, radius);

    const QColor accent = look::accent(palette());
    QColor tint = accent;
    tint.setAlphaF(0.08f);
    painter.fillPath(shape, tint);

    QPen pen(accent, lineWidth, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    // Qt measures dashes in line widths.
    pen.setDashPattern({dash / lineWidth, dash / lineWidth});
    pen.setDashOffset(0);
    painter.strokePath(shape, pen);
}

}  // namespace krumple::app
