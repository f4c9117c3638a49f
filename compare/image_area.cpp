#include "image_area.h"

#include <cmath>

#include <QEnterEvent>
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

geom::Rect ImageArea::fitted() const {
    const QImage& image = images_.image();
    return geom::fittedRect({double(image.width()), double(image.height())}, {double(width()), double(height())});
}

void ImageArea::setImage(const std::optional<QImage>& image) {
    const QImage next = image.value_or(QImage());
    if (next.cacheKey() == images_.image().cacheKey() && next.isNull() == images_.isNull()) return;
    images_.setImage(next);
    placeholder_->setVisible(images_.isNull());
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
