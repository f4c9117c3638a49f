// The footer: its texts before a batch, the Convert button's label, enabling
// and tooltip, and Cancel. A whole batch is in main_window_test.

#include "app_fixture.h"

using namespace krumple;
using namespace krumple::app;

namespace {

// A footer over the fixture's store, shown; one job at a time.
struct Shown : AppFixture {
    FooterBar footer{store()};
    Shown() {
        store().setProcessorCount([] { return 1; });
        footer.show();
    }
    // Clear, Convert, Cancel, the progress bar and the converted line: which are visible.
    std::vector<bool> visible() const {
        const FooterBar& f = footer;
        return {f.clearButton()->isVisible(), f.convertButton()->isVisible(), f.cancelButton()->isVisible(),
                f.progress()->isVisible(), f.convertedLine()->isVisible()};
    }
    // The headline, and Convert's label, whether it can be pressed (on, off), and why not.
    QStringList texts() const {
        const QPushButton* convert = footer.convertButton();
        return {footer.headline()->text(), convert->text(), convert->isEnabled() ? "on" : "off", convert->toolTip()};
    }
};

}  // namespace

class FooterBarTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void convertCancelAndTotalsBeforeABatch() {
        Shown s;
        const QStringList empty{"No files", "Convert", "off", ""};
        QCOMPARE(s.texts(), empty);
        QCOMPARE(s.visible(), (std::vector<bool>{false, true, false, false, false}));
        const auto paths = s.images(2);
        QVERIFY(s.addAndWait({paths[0]}));
        QCOMPARE(s.texts()[1], QString("Convert 1 Image"));
        QVERIFY(s.addAndWait({paths[1]}));
        const QString headline = "2 files \u00B7 " + QString::fromStdString(Fmt::byteCount(s.store().items().at(0).originalSize + s.store().items().at(1).originalSize));
        QCOMPARE(s.texts(), (QStringList{headline, "Convert 2 Images", "on", ""}));
        QCOMPARE(s.visible(), (std::vector<bool>{true, true, false, false, false}));

        s.store().setOutputMode(OutputMode::folder);
        QCOMPARE(s.texts(), (QStringList{headline, "Convert 2 Images", "off", "Choose an output folder first"}));
        s.store().setOutputFolder(s.folder());
        QCOMPARE(s.texts(), (QStringList{headline, "Convert 2 Images", "on", ""}));
        QTest::mouseClick(s.footer.clearButton(), Qt::LeftButton);
        QCOMPARE(s.texts(), empty);

        // Cancel: no further job starts.
        QVERIFY(s.addAndWait(s.images(20)));
        QTest::mouseClick(s.footer.convertButton(), Qt::LeftButton);
        QTest::mouseClick(s.footer.cancelButton(), Qt::LeftButton);  // while the first of one job at a time runs
        QVERIFY(s.waitForBatchEnd());
        const auto& items = s.store().items();
        QCOMPARE(std::ranges::count(items, ItemStatus(ItemStatus::pending), &ImageItem::status), std::ptrdiff_t{19});
        QCOMPARE(s.visible(), (std::vector<bool>{true, true, false, false, false}));
    }

    // A damaged picture in a folder is a row that fails, and the count says so.
    void everyItemIsCounted() {
        Shown s;
        s.images(2);
        test::writeText(s.folder() / "damaged.jpg", "\xFF\xD8\xFF not the rest");
        QVERIFY(s.addAndWait({s.folder()}));
        QCOMPARE(s.store().items().size(), std::size_t{3});
        QCOMPARE(s.footer.convertedLine()->text(), QString("0 of 3 converted, 1 failed"));
        QTest::mouseClick(s.footer.convertButton(), Qt::LeftButton);
        QVERIFY(s.waitForBatchEnd());
        QCOMPARE(s.footer.convertedLine()->text(), QString("2 of 3 converted, 1 failed"));
    }
};

QTEST_MAIN(FooterBarTest)
#include "footer_bar_test.moc"
