// The comparison's geometry with the numbers the view is laid out by.

#include <QTest>

#include "compare_geometry.h"

using namespace krumple::geom;

namespace {
bool near(double a, double b) { return std::abs(a - b) < 1e-9; }
bool near(Rect a, Rect b) {
    return near(a.x, b.x) && near(a.y, b.y) && near(a.width, b.width) && near(a.height, b.height);
}
}  // namespace

class GeometryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void workedExample() {
        // A 4000 × 3000 image in a 600 × 300 area: scale 0.1, margins left and right.
        const Rect f = fittedRect({4000, 3000}, {600, 300});
        QVERIFY(near(f, Rect{100, 0, 400, 300}));
        const auto n = normalisedPosition(f, {300, 150});
        QVERIFY(n);
        QVERIFY(near(n->x, 0.5) && near(n->y, 0.5));
        const Point c = loupeCentre(f, *n);
        QVERIFY(near(c.x, 300) && near(c.y, 150));
        // Zoom 2: drawn 800 × 600, shifted so the image's centre is the loupe's.
        QVERIFY(near(magnifiedRect(f, *n, 2, 170), Rect{-315, -215, 800, 600}));
    }

    void wideImageGetsMarginsAboveAndBelow() {
        QVERIFY(near(fittedRect({1200, 400}, {600, 400}), Rect{0, 100, 600, 200}));
    }

    void nothingFitsWithoutPositiveSizes() {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        for (const auto& [image, area] : {std::pair<Size, Size>{{0, 100}, {600, 300}},
                                          {{100, 100}, {600, 0}},
                                          {{-5, 100}, {600, 300}},
                                          {{nan, 100}, {600, 300}},
                                          {{100, 100}, {600, nan}}}) {
            const Rect f = fittedRect(image, area);
            QCOMPARE(f, Rect{});
            QVERIFY(!normalisedPosition(f, {0, 0}));
        }
    }

    void leftAndTopEdgesAreInsideRightAndBottomOutside() {
        const Rect f{100, 0, 400, 300};
        const auto corner = normalisedPosition(f, {100, 0});
        QVERIFY(corner);
        QCOMPARE(*corner, (Point{0, 0}));
        QVERIFY(!normalisedPosition(f, {500, 150}));  // right edge
        QVERIFY(!normalisedPosition(f, {300, 300}));  // bottom edge
        QVERIFY(!normalisedPosition(f, {99.99, 150}));  // margin
        const auto last = normalisedPosition(f, {499.999, 299.999});
        QVERIFY(last && last->x < 1 && last->y < 1);
    }

    void topLeftCornerShowsOnlyTheLowerRightQuarter() {
        const Rect f = fittedRect({4000, 3000}, {600, 300});
        const auto sample = loupeSample({4000, 3000}, f, {0, 0}, 4, 170);
        QVERIFY(sample);
        // The image starts at the loupe's centre...
        QVERIFY(near(sample->target, Rect{85, 85, 85, 85}));
        // ...with its own top-left pixel: 10 image pixels per point at zoom 4.
        QVERIFY(near(sample->source, Rect{0, 0, 850 / 4.0, 850 / 4.0}));
    }

    void loupeSampleCentresOnTheSameImagePoint() {
        // Whatever the zoom and position, the loupe's centre shows the image
        // point at fractions n, and the sample never leaves the image.
        const Size image{4000, 3000};
        const Rect f = fittedRect(image, {600, 300});
        for (const double zoom : {2.0, 4.0, 8.0}) {
            for (const Point n : {Point{0.5, 0.5}, Point{0.02, 0.9}, Point{0.97, 0.03}}) {
                const auto s = loupeSample(image, f, n, zoom, 170);
                QVERIFY(s);
                const double kx = s->source.width / s->target.width;
                const double ky = s->source.height / s->target.height;
                QVERIFY(near(kx, 4000 / (400 * zoom)));
                QVERIFY(near(s->source.x + (85 - s->target.x) * kx, n.x * image.width));
                QVERIFY(near(s->source.y + (85 - s->target.y) * ky, n.y * image.height));
                QVERIFY(s->source.x >= 0 && s->source.maxX() <= image.width + 1e-9);
                QVERIFY(s->source.y >= 0 && s->source.maxY() <= image.height + 1e-9);
                QVERIFY(s->target.x >= 0 && s->target.maxX() <= 170 + 1e-9);
            }
        }
    }
};

QTEST_APPLESS_MAIN(GeometryTest)
#include "geometry_test.moc"
