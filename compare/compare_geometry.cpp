#include "compare_geometry.h"

#include <algorithm>
#include <cmath>

namespace krumple::geom {

namespace {
bool positive(double v) { return v > 0 && std::isfinite(v); }
}  // namespace

Rect fittedRect(Size image, Size area) {
    if (!(positive(image.width) && positive(image.height) && positive(area.width) && positive(area.height)))
        return {};
    const double s = std::min(area.width / image.width, area.height / image.height);
    const double w = image.width * s;
    const double h = image.height * s;
    return {(area.width - w) * 0.5, (area.height - h) * 0.5, w, h};
}

std::optional<Point> normalisedPosition(Rect fit, Point pointer) {
    if (!fit.contains(pointer)) return std::nullopt;
    return Point{(pointer.x - fit.minX()) / fit.width, (pointer.y - fit.minY()) / fit.height};
}

Point loupeCentre(Rect fit, Point n) { return {fit.minX() + fit.width * n.x, fit.minY() + fit.height * n.y}; }

Rect magnifiedRect(Rect fit, Point n, double zoom, double d) {
    return {d / 2 - zoom * n.x * fit.width, d / 2 - zoom * n.y * fit.height, fit.width * zoom,
            fit.height * zoom};
}

std::optional<LoupeSample> loupeSample(Size image, Rect fit, Point n, double zoom, double d) {
    const Rect m = magnifiedRect(fit, n, zoom, d);
    if (m.isEmpty() || !positive(image.width) || !positive(image.height)) return std::nullopt;
    const double left = std::max(m.minX(), 0.0);
    const double top = std::max(m.minY(), 0.0);
    const double right = std::min(m.maxX(), d);
    const double bottom = std::min(m.maxY(), d);
    if (!(right > left && bottom > top)) return std::nullopt;
    // Image pixels per loupe point, each way.
    const double kx = image.width / m.width;
    const double ky = image.height / m.height;
    const Rect target{left, top, right - left, bottom - top};
    const Rect source{(left - m.minX()) * kx, (top - m.minY()) * ky, target.width * kx, target.height * ky};
    return LoupeSample{target, source};
}

}  // namespace krumple::geom
