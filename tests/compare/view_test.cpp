// The compare view's texts, placeholders and load sequence, with loads that
// the test completes by hand.

#include <deque>

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

#include "compare_fixture.h"
#include "elided_label.h"
#include "fmt.h"
#include "status_placeholder.h"

using namespace krumple;
using Path = std::filesystem::path;

namespace {

const QString dot = QStringLiteral(" \u00B7 ");
const QString mb = QString::fromStdString(Fmt::byteCount(2'100'000));
const QString kb = QString::fromStdString(Fmt::byteCount(880'000));
const QString percent = QString::fromStdString(Fmt::percent(2'100'000, 880'000));

// A picture that says it is `size` pixels square (the detail line truncates that). It is
// never drawn: what counts is which picture it is.
DisplayImage picture(double size) { return {QImage(10, 10, QImage::Format_RGB32), {size, size}}; }

// A view whose loads and measures wait until the test finishes them, oldest first.
struct Loads {
    struct Request { Path file; std::stop_token stop; DisplayLoads::Deliver deliver; };
    struct Measure { Path output; std::stop_token stop; CompareView::Deliver deliver; };
    std::deque<Request> requests;
    std::deque<Measure> measures;
    CompareView view{[this](const Path& file, std::stop_token stop,
                            DisplayLoads::Deliver deliver) { requests.push_back({file, std::move(stop), std::move(deliver)}); },
                     [this](const ImageItem& item, std::stop_token stop, CompareView::Deliver deliver) {
                         measures.push_back({*item.outputURL, std::move(stop), std::move(deliver)});
                     }};

    // Completes the oldest request, which must be for `file`.
    bool finish(const Path& file, DisplayLoads::Result result) {
        if (requests.empty() || requests.front().file != file) return false;
        const DisplayLoads::Deliver deliver = std::move(requests.front().deliver);
        requests.pop_front();
        deliver(std::move(result));
        return true;
    }
    // Completes the oldest measure, which must be for `output`.
    bool measured(const Path& output, std::optional<MeasuredDifference> result) {
        if (measures.empty() || measures.front().output != output) return false;
        const CompareView::Deliver deliver = std::move(measures.front().deliver);
        measures.pop_front();
        deliver(std::move(result));
        return true;
    }
    QStringList placeholder() const {
        QStringList texts;
        for (QLabel* label : view.convertedPlaceholder()->findChildren<QLabel*>())
            if (label->isVisibleTo(view.convertedPlaceholder()) && !label->text().isEmpty()) texts << label->text();
        return texts;
    }
};

}  // namespace

class CompareViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theSameFileKeepsItsOriginal() {
        Loads f;
        ComparePane* left = f.view.originalPane();
        ComparePane* right = f.view.convertedPane();
        ImageItem a = item("/p/a.png");
        f.view.setItem(a);
        QCOMPARE(left->detail(), mb + dot + "PNG");
        QCOMPARE(f.placeholder(), QStringList{"Not converted yet"});
        a.status = ItemStatus::converting;  // the same load: nothing more
        f.view.setItem(a);
        QCOMPARE(f.placeholder(), QStringList{"Converting\u2026"});
        ImageItem done = item("/p/a.png", "/p/a krumpled.webp");
        done.id = a.id;
        f.view.setItem(done);  // converted before the original was decoded: that decode serves
        QCOMPARE(f.requests.size(), std::size_t{1});
        QVERIFY(f.finish("/p/a.png", picture(12000.9)));
        QCOMPARE(left->detail(), "12000\u00D712000" + dot + mb + dot + "PNG");
        const qint64 original = left->imageArea()->image().cacheKey();
        QVERIFY(f.finish("/p/a krumpled.webp", picture(300)));
        QCOMPARE(right->detail(), "300\u00D7300" + dot + kb + dot + "WEBP" + dot + percent);
        done.sourceFrames = 3;  // an animation, of which the output kept the first frame
        f.view.setItem(done);
        QVERIFY(left->detail().endsWith(dot + "Animation, 3 frames"));
        QVERIFY(right->detail().endsWith(dot + "First frame of 3"));

        // Converted again: the loupe goes, only the converted image reloads.
        f.view.setHover(geom::Point{0.5, 0.5});
        done.revision = 2;
        f.view.setItem(done);
        QVERIFY(!f.view.hover());
        QCOMPARE(f.requests.size(), std::size_t{1});
        QCOMPARE(f.requests.front().file, Path("/p/a krumpled.webp"));
        QVERIFY(!right->hasImage());
        QCOMPARE(left->imageArea()->image().cacheKey(), original);
        done.status = ItemStatus::failure(ConvertError::encodeFailed);
        f.view.setItem(done);
        QCOMPARE(f.placeholder(), QStringList{"Couldn't write the output"});
        QCOMPARE(right->detail(), QString(" "));
    }

    void anotherItemDropsWhatIsNoLongerWanted() {
        Loads f;
        ComparePane* left = f.view.originalPane();
        ComparePane* right = f.view.convertedPane();
        f.view.setItem(item("/p/a.png", "/p/a.jpg"));
        QVERIFY(f.finish("/p/a.png", picture(40)) && f.finish("/p/a.jpg", picture(40)));
        f.view.setZoom(8);
        // The old converted image stays until the new original is in; so does the zoom.
        f.view.setItem(item("/p/b.png", "/p/b.jpg"));
        QVERIFY(!left->hasImage() && right->hasImage());
        QCOMPARE(f.view.zoom(), 8.0);
        // Another item before b's original is in: b's result is dropped, and its output never asked for.
        ImageItem c = item("/p/c.png", "/p/c.jpg");
        f.view.setItem(c);
        QVERIFY(f.requests.front().stop.stop_requested());
        QVERIFY(f.finish("/p/b.png", picture(10)));
        QVERIFY(!left->hasImage());
        QVERIFY(f.finish("/p/c.png", picture(20)));
        QVERIFY(left->hasImage() && !right->hasImage());
        // A converted image of a superseded revision is dropped too.
        c.revision = 2;
        f.view.setItem(c);
        QVERIFY(f.finish("/p/c.jpg", picture(20)));
        QVERIFY(!right->hasImage());
        QVERIFY(f.finish("/p/c.jpg", picture(20)));
        QVERIFY(right->hasImage());

        // No item is like a new view; the same item again loads from the start.
        f.view.setZoom(8);
        f.view.setHover(geom::Point{0.5, 0.5});
        f.view.setItem(std::nullopt);
        QCOMPARE(f.view.zoom(), 4.0);
        QVERIFY(!f.view.hover());
        QVERIFY(!left->hasImage() && !right->hasImage());
        f.view.setItem(c);
        QVERIFY(f.finish("/p/c.png", picture(20)));
    }

    // Each output is measured once, in the background; its heat map is kept
    // only while it is shown, and drawn over the converted image on demand.
    void theDifferenceIsMeasuredOncePerOutput() {
        Loads f;
        ComparePane* right = f.view.convertedPane();
        ImageItem a = item("/p/a.png");
        f.view.setItem(a);
        QVERIFY(f.measures.empty());  // nothing to measure yet
        QVERIFY(!f.view.findChild<QAbstractButton*>()->isEnabled());
        ImageItem done = item("/p/a.png", "/p/a.avif");
        done.id = a.id;
        f.view.setItem(done);
        QVERIFY(f.finish("/p/a.png", picture(40)) && f.finish("/p/a.avif", picture(40)));
        QCOMPARE(right->detail(), "40\u00D740" + dot + kb + dot + "AVIF" + dot + percent);
        QImage red(4, 4, QImage::Format_ARGB32_Premultiplied);
        red.fill(qRgba(255, 0, 0, 255));
        QVERIFY(f.measured("/p/a.avif", MeasuredDifference{0.64, red}));
        QCOMPARE(right->detail(), "40\u00D740" + dot + kb + dot + "AVIF" + dot + percent + dot + "looks identical" + dot + "0.6");
        const qint64 plain = right->imageArea()->image().cacheKey();

        f.view.setShowDifference(true);
        QVERIFY(f.measures.empty());  // the map of the output shown is still here
        const QImage& over = right->imageArea()->image();
        QVERIFY(over.cacheKey() != plain);
        QCOMPARE(over.size(), QSize(10, 10));
        QCOMPARE(over.pixelColor(5, 5), QColor(255, 0, 0));
        f.view.setShowDifference(false);
        QCOMPARE(right->imageArea()->image().cacheKey(), plain);

        // Away and back: the distance is kept, so nothing is measured again
        // until the map is wanted.
        f.view.setItem(item("/p/b.png", "/p/b.avif"));
        QVERIFY(f.finish("/p/b.png", picture(20)) && f.finish("/p/b.avif", picture(20)));
        QVERIFY(f.measures.front().output == "/p/b.avif");
        f.view.setItem(done);
        QVERIFY(f.measures.front().stop.stop_requested());  // b's measure is no longer wanted
        f.measures.pop_front();
        QVERIFY(f.measures.empty());
        QVERIFY(f.finish("/p/a.png", picture(40)) && f.finish("/p/a.avif", picture(40)));
        QVERIFY(right->detail().endsWith("looks identical" + dot + "0.6"));
        f.view.setShowDifference(true);
        QVERIFY(right->detail().endsWith("looks identical" + dot + "0.6" + dot + "measuring the difference\u2026"));
        QVERIFY(f.measured("/p/a.avif", MeasuredDifference{3.04, red}));
        QVERIFY(right->detail().endsWith("visible differences" + dot + "3.0"));
        QCOMPARE(right->imageArea()->image().pixelColor(5, 5), QColor(255, 0, 0));

        // Converted again: a new output, measured anew; one that can't be
        // measured shows no score and isn't tried again.
        done.revision = 2;
        f.view.setItem(done);
        QVERIFY(f.finish("/p/a.avif", picture(40)));
        QVERIFY(f.measured("/p/a.avif", std::nullopt));
        QVERIFY(right->detail().endsWith(percent));
        f.view.setItem(item("/p/b.png", "/p/b.avif"));
        f.view.setItem(done);
        for (const auto& m : f.measures) QVERIFY(m.output != "/p/a.avif" || m.stop.stop_requested());
    }

    // A detail line cut short by a narrow pane still tells all, in its tooltip.
    void aShortenedLineShowsWholeInItsTooltip() {
        ElidedLabel label(Qt::ElideRight, Qt::AlignLeft);
        const QString line = "2560\u00D71600" + dot + kb + dot + "WEBP" + dot + "nearly identical" + dot + "1.1";
        label.setText(line);
        label.show();
        label.resize(label.sizeHint().width() / 2, label.sizeHint().height());
        QVERIFY(label.shownText() != line);
        QCOMPARE(label.toolTip(), line);
        label.resize(label.sizeHint());
        QCOMPARE(label.shownText(), line);
        QVERIFY(label.toolTip().isEmpty());
    }

    // Under a distance of 1 nothing is coloured; past it the colour warms and
    // thickens, and the overlay keeps the converted image's size and format.
    void theHeatMapWarmsWithTheDistance() {
        DistanceMap map{4, 1, {0.9f, 1.6f, 3.0f, 9.0f}};
        const QImage heat = heatMap(map);
        QCOMPARE(heat.size(), QSize(4, 1));
        QCOMPARE(qAlpha(heat.pixel(0, 0)), 0);
        const QColor mild = heat.pixelColor(1, 0), strong = heat.pixelColor(3, 0);
        QVERIFY(mild.blue() > mild.red() && mild.alpha() < strong.alpha());
        QVERIFY(strong.red() == 255 && strong.green() == 0);
        QVERIFY(heat.pixelColor(2, 0).red() == 255 && heat.pixelColor(2, 0).green() > 200);  // yellow

        QImage converted(8, 2, QImage::Format_RGB32);
        converted.fill(qRgb(200, 200, 200));
        const QImage over = overlaid(converted, heat);
        QCOMPARE(over.size(), converted.size());
        QCOMPARE(over.format(), converted.format());
        QVERIFY(over.pixelColor(0, 0).red() < 200);  // dimmed where nothing differs
        QVERIFY(over.pixelColor(7, 1).red() > 240 && over.pixelColor(7, 1).green() < 40);
    }
};

QTEST_MAIN(CompareViewTest)
#include "view_test.moc"
