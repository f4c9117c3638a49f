// A pane drawn for real: what the loupe shows, where, and what it leaves alone.
// Runs at the screen's device pixel ratio (ctest also runs it at 2).

#include <cmath>

#include <QApplication>
#include <QLayout>
#include <QMouseEvent>
#include <QTest>

#include "compare_pane.h"
#include "compare_view.h"
#include "image_area.h"

using namespace krumple;

namespace {

constexpr int block = 5;  // source pixels per colour block

// Blocks of colours that differ from every neighbour.
QImage blocks(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int bx = x / block, by = y / block;
            image.setPixel(x, y, qRgb((bx * 53) % 256, (by * 97) % 256, ((bx + by) % 2) * 200 + 20));
        }
    return image;
}

bool close(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

struct Grabbed {
    QImage image;
    qreal dpr;
    QRgb at(QPointF logical) const {
        return image.pixel(int(std::floor(logical.x() * dpr)), int(std::floor(logical.y() * dpr)));
    }
};

// The pane with its image area sized exactly `area`.
struct PaneFixture {
    ComparePane pane{"Original", new QWidget};
    PaneFixture(const QImage& image, QSize area) {
        pane.setImage(DisplayImage{image, {double(image.width()), double(image.height())}});
        pane.setAttribute(Qt::WA_DontShowOnScreen);
        pane.resize(area * 2);
        pane.show();
        pane.layout()->activate();
        pane.resize(area + pane.size() - pane.imageArea()->size());
        pane.layout()->activate();
    }
    ImageArea* area() { return pane.imageArea(); }
    QPointF offset() { return area()->mapTo(&pane, QPointF(0, 0)); }
    Grabbed grab() {
        const QPixmap pixmap = pane.grab();
        return {pixmap.toImage().convertToFormat(QImage::Format_RGB32), pixmap.devicePixelRatio()};
    }
};

}  // namespace

class PaneRenderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loupeShowsTheSourceMagnifiedAroundItsCentre() {
        const QImage source = blocks(100, 75);
        PaneFixture f(source, {600, 300});
        QCOMPARE(f.area()->size(), QSize(600, 300));
        const geom::Rect fit = f.area()->fitted();  // 4 points per source pixel
        const Grabbed plain = f.grab();

        const geom::Point n{0.33, 0.61};
        const double zoom = 4;
        f.pane.setZoom(zoom);
        f.pane.setHover(n);
        const Grabbed loupe = f.grab();
        qInfo("device pixels per point: %g", loupe.dpr);
        const geom::Point c = geom::loupeCentre(fit, n);
        const QPointF centre = f.offset() + QPointF(c.x, c.y);
        const double pointsPerPixel = fit.width / source.width() * zoom;

        // Inside the circle, every point well inside a block shows that block's colour.
        int checked = 0;
        for (double dy = -78; dy <= 78; dy += 3)
            for (double dx = -78; dx <= 78; dx += 3) {
                if (std::hypot(dx, dy) > 80) continue;
                const double u = n.x * source.width() + dx / pointsPerPixel;
                const double v = n.y * source.height() + dy / pointsPerPixel;
                const double inBlockX = std::fmod(u, block), inBlockY = std::fmod(v, block);
                if (inBlockX < 1 || inBlockX > block - 1 || inBlockY < 1 || inBlockY > block - 1) continue;
                const QRgb expected = source.pixel(int(u), int(v));
                const QRgb shown = loupe.at(centre + QPointF(dx, dy));
                if (!close(shown, expected, 3))
                    QFAIL(qPrintable(QString("at (%1, %2) from the centre: %3, source %4")
                                         .arg(dx).arg(dy).arg(shown, 0, 16).arg(expected, 0, 16)));
                ++checked;
            }
        QVERIFY(checked > 400);

        // Beyond the rings and the shadow the pane is untouched; just outside the
        // rings only the shadow darkens it, most below the loupe.
        int baseBelow = 0, shadedBelow = 0;
        for (int angle = 0; angle < 360; angle += 15) {
            const double a = angle * M_PI / 180;
            const QPointF dir(std::cos(a), std::sin(a));
            const QPointF far = centre + dir * 101;
            if (f.area()->geometry().contains(far.toPoint())) QCOMPARE(loupe.at(far), plain.at(far));
            const QPointF near = centre + dir * 88.5;
            const QRgb base = plain.at(near), shaded = loupe.at(near);
            for (const int shift : {16, 8, 0}) {
                const int b = int(base >> shift) & 0xFF, s = int(shaded >> shift) & 0xFF;
                QVERIFY2(s <= b + 2 && s >= 0.6 * b - 3, qPrintable(QString("at %1 degrees").arg(angle)));
                if (angle >= 60 && angle <= 120) baseBelow += b, shadedBelow += s;
            }
        }
        QVERIFY2(shadedBelow < 0.95 * baseBelow, qPrintable(QString("%1 of %2").arg(shadedBelow).arg(baseBelow)));
    }

    void largeImageShowsDecodedDetailAtEightTimes() {
        // A red spot of 8 × 8 pixels in a 4000 × 3000 grey image: at the fitted
        // scale of 0.1 it is under one screen pixel; the loupe draws it from the
        // decoded pixels, pure red.
        QImage source(4000, 3000, QImage::Format_RGB32);
        source.fill(qRgb(128, 128, 128));
        for (int y = 1496; y < 1504; ++y)
            for (int x = 1196; x < 1204; ++x) source.setPixel(x, y, qRgb(255, 0, 0));
        PaneFixture f(source, {600, 300});
        f.pane.setZoom(8);
        const geom::Point n{0.3, 0.5};
        f.pane.setHover(n);
        const geom::Point c = geom::loupeCentre(f.area()->fitted(), n);
        const QRgb shown = f.grab().at(f.offset() + QPointF(c.x, c.y));
        QVERIFY2(qRed(shown) > 240 && qGreen(shown) < 16 && qBlue(shown) < 16, qPrintable(QString::number(shown, 16)));
    }

    void blackWhereTheImageEndsAndCutAtTheArea() {
        const QImage source = blocks(400, 300);
        PaneFixture f(source, {600, 300});  // fitted at (100, 0, 400, 300)
        const Grabbed plain = f.grab();
        f.pane.setHover(geom::Point{0, 0});
        const Grabbed corner = f.grab();
        const QPointF topLeft = f.offset() + QPointF(100, 0);
        QCOMPARE(corner.at(topLeft + QPointF(-30, 30)) & 0xFFFFFF, 0u);  // left of the image, inside the circle
        QVERIFY(close(corner.at(topLeft + QPointF(30, 30)), source.pixel(7, 7), 3));

        // Near the right edge the loupe reaches past the area: the pane's own
        // margin outside the area keeps its colour.
        f.pane.setHover(geom::Point{0.999, 0.5});
        const Grabbed edge = f.grab();
        const QPointF beyond = f.offset() + QPointF(600 + 4, 150);
        QCOMPARE(edge.at(beyond), plain.at(beyond));
        QVERIFY(edge.at(beyond - QPointF(60, 0)) != plain.at(beyond - QPointF(60, 0)));
    }

    void pointerWritesTheSharedPositionFromEitherPane() {
        CompareView view([](const std::filesystem::path&, std::stop_token, DisplayLoads::Deliver deliver) {
            deliver(DisplayImage{blocks(400, 300), {400, 300}});
        });
        ImageItem item;
        item.id = ItemId::random();
        item.url = "/p/a.png";
        item.status = ItemStatus::done;
        item.outputURL = "/p/a.jpg";
        item.revision = 1;
        view.setItem(item);
        view.resize(1000, 500);
        view.setAttribute(Qt::WA_DontShowOnScreen);
        view.show();
        ImageArea* right = view.convertedPane()->imageArea();
        const geom::Rect fit = right->fitted();

        auto move = [](QWidget* w, QPointF p) {
            QMouseEvent event(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(w, &event);
        };
        move(right, QPointF(fit.x + fit.width * 0.25, fit.y + fit.height * 0.75));
        QVERIFY(view.hover());
        QVERIFY(std::abs(view.hover()->x - 0.25) < 1e-9 && std::abs(view.hover()->y - 0.75) < 1e-9);
        move(right, QPointF(fit.maxX(), fit.y + 10));  // the right edge is outside
        QVERIFY(!view.hover());
        move(right, QPointF(fit.x, fit.y));
        QCOMPARE(*view.hover(), (geom::Point{0, 0}));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(right, &leave);
        QVERIFY(!view.hover());
    }
};

QTEST_MAIN(PaneRenderTest)
#include "pane_render_test.moc"
