// The comparison drawn for real: the pointer over one image puts a loupe on
// the same spot of both, magnifying the decoded pixels. Runs at the screen's
// device pixel ratio (ctest also runs it at 2).

#include <cmath>

#include <QMouseEvent>
#include <QTest>

#include "compare_fixture.h"
#include "figures.h"

using namespace krumple;

namespace {

constexpr int block = 5;  // source pixels per colour block

// Blocks of colours that differ from every neighbour.
QImage blocks(QSize size) {
    QImage small(size / block, QImage::Format_RGB32);
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            small.setPixel(x, y, qRgb(x * 53 % 256, y * 97 % 256, (x + y) % 2 * 200 + 20));
    return small.scaled(size);  // each pixel repeated, block × block
}

// Within one source pixel of a block's edge, where the loupe blends two blocks.
bool nearEdge(double v) { return std::abs(v - block * std::round(v / block)) < 1; }

int difference(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// The pixel under point `p` of a widget grabbed at its device pixel ratio.
QRgb at(const QImage& grabbed, QPointF p) {
    return grabbed.pixel(int(p.x() * grabbed.devicePixelRatio()), int(p.y() * grabbed.devicePixelRatio()));
}

}  // namespace

class PaneRenderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Numbers that change keep their width: every digit takes the widest
    // digit's cell, whatever the font gives each; other text keeps the font's
    // own advances (runs, so kerning stays).
    void digitsTakeCellsOfOneWidth() {
        const auto advance = [](const QString& run) {
            qreal w = 0;
            for (const QChar c : run) w += c == u'1' ? 3 : c.isDigit() ? 7 : c == u'.' ? 2 : 5;
            return run == " kB" ? 14.0 : w;  // kerned
        };
        const std::vector<qreal> ones = figures::layout("1.1 kB", advance);
        const std::vector<qreal> eights = figures::layout("8.8 kB", advance);
        QCOMPARE(ones, eights);
        QCOMPARE(ones, (std::vector<qreal>{0, 7, 9, 16, 21, 26, 30}));
    }

    void loupe_data() {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPointF>("n");  // where the pointer goes, in fractions of the image
        QTest::newRow("2x") << 2.0 << QSize(200, 150) << QPointF(0.33, 0.61);
        QTest::newRow("4x at the left edge") << 4.0 << QSize(400, 300) << QPointF(0.01, 0.5);
        // Under one screen pixel per image pixel: only the decoded pixels show the blocks.
        QTest::newRow("8x") << 8.0 << QSize(3200, 2400) << QPointF(0.33, 0.61);
    }

    void loupe() {
        QFETCH(double, zoom);
        QFETCH(QSize, size);
        QFETCH(QPointF, n);
        const QImage source = blocks(size);
        // Both sides show `source`, decoded at once.
        CompareView view([&](const std::filesystem::path&, std::stop_token, DisplayLoads::Deliver deliver) {
            deliver(DisplayImage{source, {double(size.width()), double(size.height())}});
        });
        view.resize(1300, 560);
        view.setAttribute(Qt::WA_DontShowOnScreen);
        view.show();
        view.setItem(item("/p/a.png", "/p/a.jpg"));
        view.setZoom(zoom);
        const QImage plain = view.grab().toImage();
        ImageArea* right = view.convertedPane()->imageArea();
        const geom::Rect fit = right->fitted();
        const QPointF pointer(fit.x + fit.width * n.x(), fit.y + fit.height * n.y());
        QMouseEvent move(QEvent::MouseMove, pointer, right->mapToGlobal(pointer), Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(right, &move);
        const QImage loupe = view.grab().toImage();
        qInfo("device pixels per point: %g", loupe.devicePixelRatio());

        for (ComparePane* pane : {view.originalPane(), view.convertedPane()}) {
            const ImageArea* area = pane->imageArea();
            const geom::Rect f = area->fitted();
            const QRectF bounds(area->mapTo(&view, QPointF()), QSizeF(area->size()));
            const QPointF centre = bounds.topLeft() + QPointF(f.x + f.width * n.x(), f.y + f.height * n.y());
            const double perPixel = f.width / size.width() * zoom;  // loupe points per source pixel
            // In the circle, away from block edges: that block's colour, or black beyond the image.
            int checked = 0;
            for (double dy = -78; dy <= 78; dy += 3)
                for (double dx = -78; dx <= 78; dx += 3) {
                    const double u = n.x() * size.width() + dx / perPixel, v = n.y() * size.height() + dy / perPixel;
                    const QPointF p = centre + QPointF(dx, dy);
                    if (std::hypot(dx, dy) > 80 || !bounds.contains(p) || nearEdge(u) || nearEdge(v)) continue;
                    const bool inside = u >= 0 && v >= 0 && u < size.width() && v < size.height();
                    const QRgb expected = inside ? source.pixel(int(u), int(v)) : qRgb(0, 0, 0);
                    const int off = difference(at(loupe, p), expected);
                    QVERIFY2(off <= 3, qPrintable(QString("%1 %2,%3").arg(pane->title()).arg(dx).arg(dy)));
                    ++checked;
                }
            QVERIFY2(checked > 300, qPrintable(QString::number(checked)));
            // Beyond the rings and the shadow the pane is untouched.
            for (int angle = 0; angle < 360; angle += 15) {
                const QPointF far = centre + QPointF(std::cos(angle * M_PI / 180), std::sin(angle * M_PI / 180)) * 101;
                if (bounds.contains(far)) QCOMPARE(at(loupe, far), at(plain, far));
            }
        }
        QEvent leave(QEvent::Leave);  // the pointer goes: so does the loupe
        QApplication::sendEvent(right, &leave);
        QVERIFY(!view.hover());
    }
};

QTEST_MAIN(PaneRenderTest)
#include "pane_render_test.moc"
