// The compare view's texts, placeholders and load sequence, with loads that
// the test completes by hand.

#include <deque>

#include <QLabel>
#include <QTest>

#include "compare_fixture.h"
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

// A view whose loads wait until the test finishes them, oldest first.
struct Loads {
    struct Request { Path file; std::stop_token stop; DisplayLoads::Deliver deliver; };
    std::deque<Request> requests;
    CompareView view{[this](const Path& file, std::stop_token stop, DisplayLoads::Deliver deliver) {
        requests.push_back({file, std::move(stop), std::move(deliver)});
    }};

    // Completes the oldest request, which must be for `file`.
    bool finish(const Path& file, DisplayLoads::Result result) {
        if (requests.empty() || requests.front().file != file) return false;
        const DisplayLoads::Deliver deliver = std::move(requests.front().deliver);
        requests.pop_front();
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

        // Converted again: the loupe goes, only the converted image reloads.
        f.view.setHover(geom::Point{0.5, 0.5});
        done.revision = 2;
        f.view.setItem(done);
        QVERIFY(!f.view.hover());
        QCOMPARE(f.requests.size(), std::size_t{1});
        QCOMPARE(f.requests.front().file, Path("/p/a krumpled.webp"));
        QVERIFY(!right->hasImage());
        QCOMPARE(left->imageArea()->image().cacheKey(), original);
        done.status = ItemStatus::failure("The file could not be written.");
        f.view.setItem(done);
        QCOMPARE(f.placeholder(), QStringList{"The file could not be written."});
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
        f.view.setItem(std::nullopt);
        QCOMPARE(f.view.zoom(), 4.0);
        QVERIFY(!left->hasImage() && !right->hasImage());
        f.view.setItem(c);
        QVERIFY(f.finish("/p/c.png", picture(20)));
    }
};

QTEST_MAIN(CompareViewTest)
#include "view_test.moc"
