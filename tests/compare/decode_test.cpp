// The view decoding real files on its worker thread.

#include <limits>

#include <QTemporaryDir>
#include <QTest>

#include "compare_fixture.h"
#include "detail_text.h"
#include "difference_image.h"
#include "fmt.h"
#include "hang_limit.h"

using namespace krumple;

class DecodeTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    ImageItem converted(const char* original, const char* output) {
        return item(dir.filePath(original).toStdString(), dir.filePath(output).toStdString());
    }

private Q_SLOTS:
    void initTestCase() {
        // Wider than the decode limit, opaque, marked red at the top-left.
        QImage wide(5000, 100, QImage::Format_RGB32);
        wide.fill(qRgb(10, 200, 30));
        for (int i = 0; i < 64; ++i) wide.setPixel(i % 8, i / 8, qRgb(250, 0, 0));
        QVERIFY(wide.save(dir.filePath("wide.png")));
        // Straight alpha that must come out premultiplied.
        QImage alpha(64, 48, QImage::Format_ARGB32);
        alpha.fill(qRgba(200, 100, 50, 128));
        QVERIFY(alpha.save(dir.filePath("alpha.png")));
        // Something with detail, and a rough JPEG of it.
        QImage detail(300, 200, QImage::Format_RGB32);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 300; ++x) detail.setPixel(x, y, qRgb((x * 7) % 256, (y * 13) % 256, ((x ^ y) * 5) % 256));
        QVERIFY(detail.save(dir.filePath("detail.png")));
        QVERIFY(detail.save(dir.filePath("detail.jpg"), "JPG", 10));
    }

    void imagesArriveFromTheWorker() {
        // Views closed while they decode: nothing may arrive for them.
        for (int i = 0; i < 3; ++i) CompareView().setItem(converted("wide.png", "wide.png"));
        CompareView view, unreadable;
        view.setItem(converted("wide.png", "alpha.png"));
        unreadable.setItem(converted("missing.png", "alpha.png"));
        QVERIFY(!view.originalPane()->hasImage());  // not decoded on this thread
        QTRY_VERIFY_WITH_TIMEOUT(view.originalPane()->hasImage() && view.convertedPane()->hasImage(), test::hangLimitMs);
        // An original that can't be read keeps its spinner; the converted image is decoded after it was tried.
        QTRY_VERIFY_WITH_TIMEOUT(unreadable.convertedPane()->hasImage(), test::hangLimitMs);
        QVERIFY(!unreadable.originalPane()->hasImage());
        QVERIFY(unreadable.originalPane()->imageArea()->placeholder()->isVisibleTo(unreadable.originalPane()));
        const QString size = QString::fromStdString(Fmt::byteCount(2'100'000));
        QCOMPARE(unreadable.originalPane()->detail(), size + " \u00B7 PNG");

        const auto& original = view.loads().original();
        QCOMPARE(original->image.width(), 4096);  // decoded at most 4096 a side...
        QCOMPARE(original->pixelSize, (PixelSize{5000, 100}));  // ...but says the file's size
        QVERIFY(view.originalPane()->detail().startsWith(QStringLiteral("5000\u00D7100")));
        const QRgb corner = original->image.pixel(2, 2);
        QVERIFY(qRed(corner) > 240 && qBlue(corner) < 10);
        const QImage& converted = view.convertedPane()->imageArea()->image();
        QCOMPARE(converted.format(), QImage::Format_ARGB32_Premultiplied);
        const QColor c = converted.pixelColor(10, 10);  // unpremultiplied again
        QVERIFY2(std::abs(c.alpha() - 128) <= 1 && std::abs(c.red() - 200) <= 2 && std::abs(c.green() - 100) <= 2,
                 qPrintable(c.name(QColor::HexArgb)));
    }

    // The distance is measured on the measuring thread, and the heat map
    // shows over the converted image once asked for.
    void theDifferenceIsMeasuredInTheBackground() {
        CompareView view;
        view.setItem(converted("detail.png", "detail.jpg"));
        QVERIFY(!view.distance());
        QTRY_VERIFY_WITH_TIMEOUT(view.distance().has_value(), test::hangLimitMs);
        QVERIFY(*view.distance() > 3);
        QVERIFY(view.convertedPane()->detail().contains(distanceText(*view.distance())));
        QTRY_VERIFY_WITH_TIMEOUT(view.convertedPane()->hasImage(), test::hangLimitMs);
        const qint64 plain = view.convertedPane()->imageArea()->image().cacheKey();
        view.setShowDifference(true);
        QTRY_VERIFY_WITH_TIMEOUT(view.convertedPane()->imageArea()->image().cacheKey() != plain, test::hangLimitMs);
        QCOMPARE(view.convertedPane()->imageArea()->image().size(), QSize(300, 200));
    }

    // Short of memory, a measure waits rather than risk a failed allocation
    // in libjxl, which ends the process; a stop ends the wait.
    void aMeasureWaitsForMemory() {
        const auto source = dir.filePath("detail.png").toStdString(), output = dir.filePath("detail.jpg").toStdString();
        std::stop_source stop;
        int asked = 0;
        const auto tooLittle = [&] {
            if (++asked == 3) stop.request_stop();  // asked again while it waited: enough
            return std::int64_t{asked * 1000};
        };
        QVERIFY(!measureDifference(source, output, stop.get_token(), tooLittle));
        QCOMPARE(asked, 3);
        const auto room = [] { return std::numeric_limits<std::int64_t>::max(); };
        const auto measured = measureDifference(source, output, {}, room);
        QVERIFY(measured && measured->distance > 3);
    }
};

QTEST_MAIN(DecodeTest)
#include "decode_test.moc"
