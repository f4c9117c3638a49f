// The compare view's texts, placeholders and load sequence, with loads that
// the test completes by hand.

#include <deque>

#include <QLabel>
#include <QTest>

#include "compare_pane.h"
#include "compare_view.h"
#include "detail_text.h"
#include "fmt.h"
#include "image_area.h"
#include "status_placeholder.h"

using namespace krumple;

namespace {

const QString dot = QStringLiteral(" \u00B7 ");
QString bytes(std::int64_t n) { return QString::fromStdString(Fmt::byteCount(n)); }

ImageItem makeItem(const char* url, ItemStatus status = ItemStatus::pending) {
    ImageItem item;
    item.id = ItemId::random();
    item.url = url;
    item.originalSize = 2'100'000;
    item.status = status;
    return item;
}

ImageItem doneItem(const char* url, const char* output, int revision = 1) {
    ImageItem item = makeItem(url, ItemStatus::done);
    item.outputURL = output;
    item.outputSize = 880'000;
    item.revision = revision;
    return item;
}

DisplayImage picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::gray);
    return {image, {double(width), double(height)}};
}

// Loads that wait until the test delivers them, in any order.
struct ManualLoads {
    struct Request {
        std::filesystem::path file;
        std::stop_token stop;
        DisplayLoads::Deliver deliver;
    };
    std::deque<Request> requests;

    DisplayLoads::StartLoad starter() {
        return [this](const std::filesystem::path& file, std::stop_token stop, DisplayLoads::Deliver deliver) {
            requests.push_back({file, std::move(stop), std::move(deliver)});
        };
    }
    // Completes the oldest request, which must be for `file`.
    bool finish(const std::filesystem::path& file, DisplayLoads::Result result) {
        if (requests.empty() || requests.front().file != file) return false;
        Request r = std::move(requests.front());
        requests.pop_front();
        r.deliver(std::move(result));
        return true;
    }
};

qint64 shownKey(ComparePane* pane) { return pane->imageArea()->image().cacheKey(); }

QStringList visibleTexts(QWidget* placeholder) {
    QStringList texts;
    for (QLabel* label : placeholder->findChildren<QLabel*>())
        if (label->isVisibleTo(placeholder) && !label->text().isEmpty()) texts << label->text();
    return texts;
}

}  // namespace

class CompareViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void detailLines() {
        // Truncated, not rounded; no grouping; the label only when there is one.
        QCOMPARE(detailLine(PixelSize{4032.9, 3024.99}, 2'100'000, "HEIC"),
                 QStringLiteral("4032\u00D73024") + dot + bytes(2'100'000) + dot + "HEIC");
        QCOMPARE(detailLine(std::nullopt, 2'100'000, "HEIC"), bytes(2'100'000) + dot + "HEIC");
        QCOMPARE(detailLine(PixelSize{12000, 9000}, 5, ""), QStringLiteral("12000\u00D79000") + dot + bytes(5));
        // A size that is no number must not break the line.
        QVERIFY(detailLine(PixelSize{std::nan(""), 1e300}, 5, "").startsWith(QStringLiteral("0\u00D70")));

        QCOMPARE(extensionLabel("/p/photo.jpeg"), QStringLiteral("JPEG"));
        QCOMPARE(extensionLabel("/p/archive.tar.gz"), QStringLiteral("GZ"));
        QCOMPARE(extensionLabel("/p/README"), QString());
        QCOMPARE(extensionLabel("/p/.hidden"), QString());
        QCOMPARE(originalDetail(makeItem("/p/README"), PixelSize{10, 20}),
                 QStringLiteral("10\u00D720") + dot + bytes(2'100'000));
    }

    void convertedDetailWaitsForADoneItemWithASize() {
        QCOMPARE(convertedDetail(makeItem("/p/a.heic"), PixelSize{1, 1}), QStringLiteral(" "));
        QCOMPARE(convertedDetail(makeItem("/p/a.heic", ItemStatus::converting), std::nullopt), QStringLiteral(" "));
        ImageItem done = doneItem("/p/a.heic", "/p/a krumpled.jpg");
        QCOMPARE(convertedDetail(done, PixelSize{4032, 3024}),
                 QStringLiteral("4032\u00D73024") + dot + bytes(880'000) + dot + "JPG" + dot +
                     QString::fromStdString(Fmt::percent(2'100'000, 880'000)));
        done.outputURL.reset();
        QCOMPARE(convertedDetail(done, std::nullopt),
                 bytes(880'000) + dot + QString::fromStdString(Fmt::percent(2'100'000, 880'000)));
        done.outputSize.reset();
        QCOMPARE(convertedDetail(done, std::nullopt), QStringLiteral(" "));
    }

    void placeholderFollowsTheStatus() {
        ManualLoads loads;
        CompareView view(loads.starter());
        QWidget* placeholder = view.convertedPlaceholder();
        ImageItem item = makeItem("/p/a.png");
        view.setItem(item);
        QCOMPARE(visibleTexts(placeholder), QStringList{"Not converted yet"});
        QCOMPARE(view.convertedPane()->detail(), QStringLiteral(" "));
        item.status = ItemStatus::converting;
        view.setItem(item);
        QCOMPARE(visibleTexts(placeholder), QStringList{QStringLiteral("Converting\u2026")});
        item.status = ItemStatus::failure("The file could not be written.");
        item.revision = 1;
        view.setItem(item);
        QCOMPARE(visibleTexts(placeholder), QStringList{"The file could not be written."});
        QCOMPARE(view.convertedPane()->detail(), QStringLiteral(" "));
        // Only the original was asked for: a failed item has nothing to show on the right.
        QCOMPARE(loads.requests.size(), std::size_t{1});
        QVERIFY(loads.finish("/p/a.png", picture(40, 30)));
        QVERIFY(view.originalPane()->hasImage());
        QVERIFY(!view.convertedPane()->hasImage());
        QVERIFY(loads.requests.empty());
    }

    void firstLoadThenConversionFinishing() {
        ManualLoads loads;
        CompareView view(loads.starter());
        QCOMPARE(view.zoom(), 4.0);
        ImageItem item = makeItem("/p/a.png");
        view.setItem(item);
        QCOMPARE(loads.requests.size(), std::size_t{1});
        QVERIFY(!view.originalPane()->hasImage());
        QCOMPARE(view.originalPane()->detail(), bytes(2'100'000) + dot + "PNG");

        QVERIFY(loads.finish("/p/a.png", picture(400, 300)));
        QVERIFY(view.originalPane()->hasImage());
        QCOMPARE(view.originalPane()->detail(), QStringLiteral("400\u00D7300") + dot + bytes(2'100'000) + dot + "PNG");
        const qint64 original = shownKey(view.originalPane());

        item.status = ItemStatus::converting;  // same key: nothing loads
        view.setItem(item);
        QVERIFY(loads.requests.empty());

        view.setHover(geom::Point{0.5, 0.5});
        item = doneItem("/p/a.png", "/p/a krumpled.webp");
        item.id = view.item()->id;
        view.setItem(item);
        QVERIFY(!view.hover());  // every run starts without a loupe
        QCOMPARE(loads.requests.size(), std::size_t{1});
        QCOMPARE(shownKey(view.originalPane()), original);  // same file: kept
        QVERIFY(!view.convertedPane()->hasImage());
        QVERIFY(view.convertedPlaceholder()->isVisibleTo(view.convertedPane()));

        const DisplayImage converted = picture(400, 300);
        QVERIFY(loads.finish("/p/a krumpled.webp", converted));
        QCOMPARE(shownKey(view.convertedPane()), converted.image.cacheKey());
        QVERIFY(view.convertedPane()->detail().endsWith(QString::fromStdString(Fmt::percent(2'100'000, 880'000))));
        QVERIFY(view.convertedPane()->detail().startsWith(QStringLiteral("400\u00D7300")));

        // Converted again: only the converted image reloads.
        item.revision = 2;
        view.setItem(item);
        QCOMPARE(loads.requests.size(), std::size_t{1});
        QCOMPARE(loads.requests.front().file, std::filesystem::path("/p/a krumpled.webp"));
        QVERIFY(!view.convertedPane()->hasImage());
        QCOMPARE(shownKey(view.originalPane()), original);
    }

    void selectingAnotherItemKeepsTheOldConvertedImageUntilTheNewOriginal() {
        ManualLoads loads;
        CompareView view(loads.starter());
        view.setItem(doneItem("/p/a.png", "/p/a.jpg"));
        QVERIFY(loads.finish("/p/a.png", picture(40, 30)));
        const DisplayImage oldConverted = picture(40, 30);
        QVERIFY(loads.finish("/p/a.jpg", oldConverted));
        view.setZoom(8);

        view.setItem(doneItem("/p/b.png", "/p/b.jpg"));
        QVERIFY(!view.originalPane()->hasImage());
        QCOMPARE(shownKey(view.convertedPane()), oldConverted.image.cacheKey());
        QCOMPARE(view.zoom(), 8.0);

        QVERIFY(loads.finish("/p/b.png", picture(50, 50)));
        QVERIFY(view.originalPane()->hasImage());
        QVERIFY(!view.convertedPane()->hasImage());
        QVERIFY(loads.finish("/p/b.jpg", picture(50, 50)));
        QVERIFY(view.convertedPane()->hasImage());
    }

    void resultsOfASupersededRunAreDropped() {
        ManualLoads loads;
        CompareView view(loads.starter());
        view.setItem(doneItem("/p/a.png", "/p/a.jpg"));
        view.setItem(doneItem("/p/b.png", "/p/b.jpg"));
        QCOMPARE(loads.requests.size(), std::size_t{2});
        QVERIFY(loads.requests.front().stop.stop_requested());  // a's original is no longer wanted
        QVERIFY(loads.finish("/p/a.png", picture(10, 10)));
        QVERIFY(!view.originalPane()->hasImage());
        QVERIFY(loads.requests.size() == 1);  // and it led to no load of a's output

        QVERIFY(loads.finish("/p/b.png", picture(20, 20)));
        QCOMPARE(view.originalPane()->imageArea()->image().width(), 20);

        // A converted image arriving after its revision was superseded is dropped too.
        ImageItem b = *view.item();
        b.revision = 7;
        view.setItem(b);
        QCOMPARE(loads.requests.size(), std::size_t{2});
        QVERIFY(loads.finish("/p/b.jpg", picture(20, 20)));
        QVERIFY(!view.convertedPane()->hasImage());
        QVERIFY(loads.finish("/p/b.jpg", picture(20, 20)));
        QVERIFY(view.convertedPane()->hasImage());
    }

    void anOriginalStillLoadingServesTheNextRunOfTheSameFile() {
        ManualLoads loads;
        CompareView view(loads.starter());
        ImageItem item = makeItem("/p/a.png");
        view.setItem(item);
        ImageItem done = doneItem("/p/a.png", "/p/a.jpg");
        done.id = item.id;
        view.setItem(done);  // the conversion finished before the original was decoded
        QCOMPARE(loads.requests.size(), std::size_t{1});
        QVERIFY(loads.finish("/p/a.png", picture(40, 30)));
        QVERIFY(view.originalPane()->hasImage());
        QVERIFY(loads.finish("/p/a.jpg", picture(40, 30)));
        QVERIFY(view.convertedPane()->hasImage());
    }

    void aFailedLoadLeavesTheSpinnerAndIsRetriedOnTheNextKey() {
        ManualLoads loads;
        CompareView view(loads.starter());
        ImageItem item = doneItem("/p/a.png", "/p/a.jpg");
        view.setItem(item);
        QVERIFY(loads.finish("/p/a.png", std::nullopt));
        QVERIFY(!view.originalPane()->hasImage());
        QVERIFY(view.originalPane()->imageArea()->placeholder()->isVisibleTo(view.originalPane()));
        QVERIFY(loads.finish("/p/a.jpg", std::nullopt));
        QVERIFY(view.convertedPlaceholder()->isVisibleTo(view.convertedPane()));
        item.revision = 2;
        view.setItem(item);
        QCOMPARE(loads.requests.front().file, std::filesystem::path("/p/a.png"));
    }

    void noItemIsLikeANewView() {
        ManualLoads loads;
        CompareView view(loads.starter());
        const ImageItem item = doneItem("/p/a.png", "/p/a.jpg");
        view.setItem(item);
        QVERIFY(loads.finish("/p/a.png", picture(40, 30)));
        view.setZoom(2);
        view.setItem(std::nullopt);
        QCOMPARE(view.zoom(), 4.0);
        QVERIFY(!view.originalPane()->hasImage());
        QVERIFY(loads.requests.front().stop.stop_requested());
        QVERIFY(loads.finish("/p/a.jpg", picture(40, 30)));
        QVERIFY(!view.convertedPane()->hasImage());
        view.setItem(item);  // the same item again loads from the start
        QCOMPARE(loads.requests.size(), std::size_t{1});
        QCOMPARE(loads.requests.front().file, std::filesystem::path("/p/a.png"));
    }
};

QTEST_MAIN(CompareViewTest)
#include "view_test.moc"
