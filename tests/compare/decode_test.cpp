// The view decoding real files on its worker thread.

#include <QTemporaryDir>
#include <QTest>

#include "compare_pane.h"
#include "compare_view.h"
#include "image_area.h"
#include "fmt.h"

using namespace krumple;

namespace {

ImageItem doneItem(const QString& original, const QString& output) {
    ImageItem item;
    item.id = ItemId::random();
    item.url = original.toStdString();
    item.originalSize = 1000;
    item.status = ItemStatus::done;
    item.outputURL = output.toStdString();
    item.outputSize = 500;
    item.revision = 1;
    return item;
}

}  // namespace

class DecodeTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path(const char* name) { return dir.filePath(name); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir.isValid());
        // Wider than the decode limit, opaque, marked red at the top-left.
        QImage wide(5000, 100, QImage::Format_RGB32);
        wide.fill(qRgb(10, 200, 30));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) wide.setPixel(x, y, qRgb(250, 0, 0));
        QVERIFY(wide.save(path("wide.png")));
        // Straight alpha that must come out premultiplied.
        QImage alpha(64, 48, QImage::Format_ARGB32);
        alpha.fill(qRgba(200, 100, 50, 128));
        QVERIFY(alpha.save(path("alpha.png")));
        QFile junk(path("junk.png"));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not an image at all") > 0);
    }

    void bothImagesArriveFromTheWorker() {
        CompareView view;
        view.setItem(doneItem(path("wide.png"), path("alpha.png")));
        QTRY_VERIFY(view.originalPane()->hasImage() && view.convertedPane()->hasImage());

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

    void anUnreadableOriginalKeepsItsSpinner() {
        CompareView view;
        view.setItem(doneItem(path("junk.png"), path("alpha.png")));
        // The converted image is decoded only after the original has been tried.
        QTRY_VERIFY(view.convertedPane()->hasImage());
        QVERIFY(!view.originalPane()->hasImage());
        QVERIFY(view.originalPane()->imageArea()->placeholder()->isVisibleTo(view.originalPane()));
        QVERIFY(view.originalPane()->detail().startsWith(QString::fromStdString(Fmt::byteCount(1000))));
    }

    void closingWhileDecodingIsSafe() {
        for (int i = 0; i < 3; ++i) {
            auto view = std::make_unique<CompareView>();
            view->setItem(doneItem(path("wide.png"), path("wide.png")));
            view.reset();
        }
        QTest::qWait(50);  // nothing may arrive for the views that are gone
    }
};

QTEST_MAIN(DecodeTest)
#include "decode_test.moc"
