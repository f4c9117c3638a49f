#include "image_area.h"

#include <algorithm>
#include <cmath>

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "loupe.h"

namespace krumple {

ImageArea::ImageArea(QWidget* placeholder, QWidget* parent) : QWidget(parent), placeholder_(placeholder) {
    placeholder_->setParent(this);
    setMouseTracking(true);
    setMinimumSize(1, 1);
}

namespace {
// A keyboard step of the loupe: a fiftieth of the picture, a tenth with Shift.
constexpr double step = 0.02, bigStep = 0.1;
}  // namespace

geom::Rect ImageArea::fitted() const {
    const QImage& image = images_.image();
    return geom::fittedRect({double(image.width()), double(image.height())}, {double(width()), double(height())});
}

void ImageArea::setImage(const std::optional<QImage>& image) {
    const QImage next = image.value_or(QImage());
    if (next.cacheKey() == images_.image().cacheKey() && next.isNull() == images_.isNull()) return;
    images_.setImage(next);
    placeholder_->setVisible(images_.isNull());
    // The keyboard reaches a picture, to move the loupe over it.
    setFocusPolicy(images_.isNull() ? Qt::NoFocus : Qt::StrongFocus);
    update();
}

void ImageArea::setZoom(double zoom) {
    if (zoom == zoom_) return;
    zoom_ = zoom;
    if (hover_) updateLoupe(hover_);
}

void ImageArea::setHover(std::optional<geom::Point> n) {
    if (n == hover_) return;
    updateLoupe(hover_);
    hover_ = n;
    updateLoupe(hover_);
}

void ImageArea::updateLoupe(std::optional<geom::Point> n) {
    if (!n || images_.isNull()) return;
    update(Loupe::bounds(geom::loupeCentre(fitted(), *n)).toAlignedRect());
}

void ImageArea::resizeEvent(QResizeEvent*) { placeholder_->setGeometry(rect()); }

void ImageArea::paintEvent(QPaintEvent*) {
    if (images_.isNull()) return;
    // The widget's own bounds cut the loupe and its shadow at the area's edges.
    QPainter painter(this);
    const geom::Rect f = fitted();
    if (f.isEmpty()) return;
    // The on-screen copy is made at device resolution and drawn onto whole
    // device pixels, so it is resampled once, with area averaging.
    const qreal dpr = devicePixelRatioF();
    const QRect device(int(std::lround(f.x * dpr)), int(std::lround(f.y * dpr)),
                       std::max(1, int(std::lround(f.width * dpr))), std::max(1, int(std::lround(f.height * dpr))));
    painter.drawImage(QRectF(device.x() / dpr, device.y() / dpr, device.width() / dpr, device.height() / dpr),
                      images_.resized(device.size()));
    if (hover_) Loupe::paint(painter, images_, f, *hover_, zoom_);
    if (hasFocus()) {
        // The frame keyboard focus needs, in the text colour around the picture.
        painter.setPen(QPen(palette().color(QPalette::WindowText), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(f.x, f.y, f.width, f.height).adjusted(1, 1, -1, -1));
    }
}

void ImageArea::keyPressEvent(QKeyEvent* event) {
    if (images_.isNull()) return QWidget::keyPressEvent(event);
    const double by = event->modifiers() & Qt::ShiftModifier ? bigStep : step;
    geom::Point at = hover_.value_or(geom::Point{0.5, 0.5});
    switch (event->key()) {
    case Qt::Key_Left: at.x -= by; break;
    case Qt::Key_Right: at.x += by; break;
    case Qt::Key_Up: at.y -= by; break;
    case Qt::Key_Down: at.y += by; break;
    case Qt::Key_Escape:
        if (!hover_) return QWidget::keyPressEvent(event);
        Q_EMIT hoverChanged(std::nullopt);
        return;
    default: return QWidget::keyPressEvent(event);
    }
    at.x = std::clamp(at.x, 0.0, 1.0);
    at.y = std::clamp(at.y, 0.0, 1.0);
    Q_EMIT hoverChanged(at);
}

void ImageArea::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void ImageArea::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void ImageArea::track(std::optional<QPointF> pointer) {
    if (images_.isNull()) return;
    std::optional<geom::Point> n;
    if (pointer) n = geom::normalisedPosition(fitted(), {pointer->x(), pointer->y()});
    Q_EMIT hoverChanged(n);
}

void ImageArea::mouseMoveEvent(QMouseEvent* event) { track(event->position()); }
void ImageArea::enterEvent(QEnterEvent* event) { track(event->position()); }
void ImageArea::leaveEvent(QEvent*) { track(std::nullopt); }

}  // namespace krumple
