#include "loupe.h"

#include <cmath>

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRadialGradient>

#include "scaled_images.h"

namespace krumple::Loupe {

namespace {

constexpr double whiteRing = 3;
constexpr double blackRing = 1;
constexpr double blackRingOpacity = 0.35;
constexpr double shadowOpacity = 0.4;
constexpr double shadowBlur = 6;  // a Gaussian of sigma = blur / 2
constexpr double shadowDrop = 2;

double sigma() { return shadowBlur / 2; }
// How far beyond the outer ring the shadow still shows.
double shadowReach() { return 3 * sigma() + shadowDrop; }

// A blurred disc of radius r: the blur of an edge this much longer than the
// blur is the normal distribution across it.
void paintShadow(QPainter& painter, QPointF centre, double r) {
    const double outer = r + 3 * sigma();
    QRadialGradient gradient(centre, outer);
    constexpr int steps = 12;
    const double inner = std::max(r - 3 * sigma(), 0.0);
    gradient.setColorAt(0, QColor::fromRgbF(0, 0, 0, float(shadowOpacity)));
    for (int i = 0; i <= steps; ++i) {
        const double distance = inner + (outer - inner) * i / steps;
        const double coverage = 0.5 * std::erfc((distance - r) / (sigma() * std::sqrt(2.0)));
        gradient.setColorAt(distance / outer, QColor::fromRgbF(0, 0, 0, float(shadowOpacity * coverage)));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(centre, outer, outer);
}

// The magnified image on black inside an antialiased disc, rendered at
// device resolution in a square whose top-left sits on a device pixel.
QImage disc(ScaledImages& image, geom::Rect fit, geom::Point n, double zoom, double d, qreal dpr,
            QPointF offset) {
    const int side = int(std::ceil((d + 1) * dpr));
    QImage out(side, side, QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(dpr);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.translate(offset);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(QRectF(0, 0, d, d));

    const QImage& full = image.image();
    const geom::Size size{double(full.width()), double(full.height())};
    if (const auto sample = geom::loupeSample(size, fit, n, zoom, d)) {
        // Device pixels per image pixel decide which copy to sample.
        const double scale = fit.width * zoom * dpr / size.width;
        const QImage& level = image.atLeast(scale);
        const double kx = level.width() / size.width;
        const double ky = level.height() / size.height;
        const geom::Rect& t = sample->target;
        const geom::Rect& s = sample->source;
        // Only inside the disc, weighted by its antialiased edge.
        p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRectF(t.x, t.y, t.width, t.height), level,
                    QRectF(s.x * kx, s.y * ky, s.width * kx, s.height * ky));
    }
    return out;
}

}  // namespace

void paint(QPainter& painter, ScaledImages& image, geom::Rect fit, geom::Point n, double zoom, double d) {
    if (image.isNull()) return;
    const geom::Point c = geom::loupeCentre(fit, n);
    const QPointF centre(c.x, c.y);
    const double r = d / 2;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintShadow(painter, centre + QPointF(0, shadowDrop), r + whiteRing / 2);

    // Square corner snapped to the device grid so the disc is not resampled
    // again when it is put on the pane; the remainder moves its content.
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QTransform& toDevice = painter.deviceTransform();
    const QPointF corner = centre - QPointF(r, r);
    const QPointF cornerDevice = toDevice.map(corner);
    const QPointF snappedDevice(std::floor(cornerDevice.x()), std::floor(cornerDevice.y()));
    const QPointF snapped = toDevice.inverted().map(snappedDevice);
    painter.drawImage(snapped, disc(image, fit, n, zoom, d, dpr, corner - snapped));

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, whiteRing, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.drawEllipse(centre, r, r);
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, float(blackRingOpacity)), blackRing, Qt::SolidLine, Qt::FlatCap,
                        Qt::MiterJoin));
    painter.drawEllipse(centre, r, r);
    painter.restore();
}

QRectF bounds(geom::Point centre, double d) {
    const double reach = d / 2 + whiteRing / 2 + shadowReach() + 1;
    return {centre.x - reach, centre.y - reach, 2 * reach, 2 * reach};
}

}  // namespace krumple::Loupe
