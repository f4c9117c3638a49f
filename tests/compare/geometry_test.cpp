// Fitting the image into its area. Where the pointer lands in the image and
// what the loupe shows there are checked on screen in pane_render_test.

#include <QTest>

#include "compare_geometry.h"

using namespace krumple::geom;
Q_DECLARE_METATYPE(krumple::geom::Size)
Q_DECLARE_METATYPE(krumple::geom::Rect)

class GeometryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fitting_data() {
        QTest::addColumn<Size>("image");
        QTest::addColumn<Size>("area");
        QTest::addColumn<Rect>("fitted");
        QTest::newRow("margins left and right") << Size{4000, 3000} << Size{600, 300} << Rect{100, 0, 400, 300};
        QTest::newRow("margins above and below") << Size{1200, 400} << Size{600, 400} << Rect{0, 100, 600, 200};
        // Nothing fits without positive, finite sizes.
        QTest::newRow("no area") << Size{100, 100} << Size{600, 0} << Rect{};
        QTest::newRow("not a number") << Size{std::nan(""), 100} << Size{600, 300} << Rect{};
    }

    void fitting() {
        QFETCH(Size, image);
        QFETCH(Size, area);
        QTEST(fittedRect(image, area), "fitted");
    }
};

QTEST_APPLESS_MAIN(GeometryTest)
#include "geometry_test.moc"
