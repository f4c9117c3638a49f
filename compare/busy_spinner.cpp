#include "busy_spinner.h"

#include <QPainter>
#include <QTimerEvent>

#include "text_styles.h"

namespace krumple {

namespace {
constexpr int side = 22;
constexpr int frameMs = 40;
constexpr int stepDegrees = 12;
}  // namespace

BusySpinner::BusySpinner(QWidget* parent) : QWidget(parent) {
    setAccessibleName(tr("Loading"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QSize BusySpinner::sizeHint() const { return {side, side}; }

void BusySpinner::showEvent(QShowEvent*) { timer_.start(frameMs, this); }
void BusySpinner::hideEvent(QHideEvent*) { timer_.stop(); }

void BusySpinner::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_.timerId()) return QWidget::timerEvent(event);
    angle_ = (angle_ + stepDegrees) % 360;
    update();
}

void BusySpinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(QPointF(width() - side, height() - side) / 2 + QPointF(2, 2), QSizeF(side - 4, side - 4));
    QColor faint = TextStyle::secondary(*this);
    faint.setAlphaF(0.2f);
    painter.setPen(QPen(faint, 2.5));
    painter.drawEllipse(box);
    painter.setPen(QPen(TextStyle::secondary(*this), 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(box, -angle_ * 16, 100 * 16);
}

}  // namespace krumple
