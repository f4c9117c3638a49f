// The footer: its totals texts, the Convert button's label, enabling and
// tooltip, the buttons a batch swaps, progress, and Cancel.

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "app_fixture.h"
#include "fmt.h"
#include "footer_bar.h"
#include "store_watch.h"

using namespace krumple;
using namespace krumple::app;
using krumple::app::testing::AppFixture;

class FooterBarTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyListHasNothingToConvert();
    void convertLabelCountsTheImages();
    void folderModeWithoutAFolderExplainsWhyConvertIsOff();
    void batchSwapsButtonsAndFillsTheBar();
    void savingComparesConvertedFilesWithTheirOwnSources();
    void batchWhereEverythingFailedKeepsTheFileCount();
    void cancelStopsLaunchingJobs();
};

void FooterBarTest::emptyListHasNothingToConvert() {
    AppFixture fixture;
    FooterBar footer(fixture.store());
    footer.show();
    QCOMPARE(footer.headline()->text(), QString("No files"));
    QVERIFY(!footer.convertedLine()->isVisible());
    QVERIFY(!footer.clearButton()->isVisible());
    QVERIFY(!footer.cancelButton()->isVisible());
    QVERIFY(!footer.progress()->isVisible());
    QCOMPARE(footer.convertButton()->text(), QString("Convert"));
    QVERIFY(!footer.convertButton()->isEnabled());
}

void FooterBarTest::convertLabelCountsTheImages() {
    AppFixture fixture;
    Store& store = fixture.store();
    FooterBar footer(store);
    footer.show();
    const auto paths = fixture.writeImages(2);
    QVERIFY(fixture.addAndWait({paths[0]}));
    QCOMPARE(footer.convertButton()->text(), QString("Convert 1 Image"));
    QVERIFY(fixture.addAndWait({paths[1]}));
    QCOMPARE(footer.convertButton()->text(), QString("Convert 2 Images"));
    QVERIFY(footer.convertButton()->isEnabled());
    QVERIFY(footer.clearButton()->isVisible());
    QCOMPARE(footer.headline()->text(),
             QString("2 files \u00B7 ") + QString::fromStdString(Fmt::byteCount(store.totalOriginals())));

    QTest::mouseClick(footer.clearButton(), Qt::LeftButton);
    QVERIFY(store.items().empty());
    QCOMPARE(footer.headline()->text(), QString("No files"));
}

void FooterBarTest::folderModeWithoutAFolderExplainsWhyConvertIsOff() {
    AppFixture fixture;
    Store& store = fixture.store();
    FooterBar footer(store);
    QVERIFY(fixture.addAndWait(fixture.writeImages(1)));
    QCOMPARE(footer.convertButton()->toolTip(), QString());

    store.setOutputMode(OutputMode::folder);
    QVERIFY(!footer.convertButton()->isEnabled());
    QCOMPARE(footer.convertButton()->toolTip(), QString("Choose an output folder first"));

    store.setOutputFolder(fixture.folder());
    QVERIFY(footer.convertButton()->isEnabled());
    QCOMPARE(footer.convertButton()->toolTip(), QString());
}

void FooterBarTest::batchSwapsButtonsAndFillsTheBar() {
    AppFixture fixture;
    Store& store = fixture.store();
    store.setProcessorCount([] { return 1; });
    FooterBar footer(store);
    footer.show();
    QVERIFY(fixture.addAndWait(fixture.writeImages(5)));

    std::vector<int> values;
    connect(footer.progress(), &QProgressBar::valueChanged, this, [&values](int value) { values.push_back(value); });
    QTest::mouseClick(footer.convertButton(), Qt::LeftButton);
    QVERIFY(store.isRunning());
    QVERIFY(footer.progress()->isVisible());
    QCOMPARE(footer.progress()->maximum(), 5);
    QCOMPARE(footer.progress()->value(), 0);
    QVERIFY(!footer.clearButton()->isVisible());
    QVERIFY(!footer.convertButton()->isVisible());
    QVERIFY(footer.cancelButton()->isVisible());

    QVERIFY(fixture.waitForBatchEnd());
    QCOMPARE(values, (std::vector<int>{1, 2, 3, 4, 5}));
    QVERIFY(!footer.progress()->isVisible());
    QVERIFY(footer.clearButton()->isVisible());
    QVERIFY(footer.convertButton()->isVisible());
    QVERIFY(!footer.cancelButton()->isVisible());
    QCOMPARE(footer.convertedLine()->text(), QString("5 of 5 converted"));
}

void FooterBarTest::savingComparesConvertedFilesWithTheirOwnSources() {
    AppFixture fixture;
    Store& store = fixture.store();
    FooterBar footer(store);
    footer.show();
    const auto paths = fixture.writeImages(12);
    QVERIFY(fixture.addAndWait(paths));
    // Nine of twelve sources vanish after being listed: only three convert.
    for (std::size_t i = 3; i < paths.size(); ++i) std::filesystem::remove(paths[i]);

    store.startConversion();
    QVERIFY(fixture.waitForBatchEnd());

    std::int64_t sources = 0;
    std::int64_t outputs = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        sources += store.items()[i].originalSize;
        outputs += store.items()[i].outputSize.value_or(-1);
    }
    QVERIFY(sources < store.totalOriginals());
    QCOMPARE(footer.headline()->text(), QString("Total: ") + QString::fromStdString(Fmt::savings(sources, outputs)));
    QVERIFY(footer.convertedLine()->isVisible());
    QCOMPARE(footer.convertedLine()->text(), QString("3 of 12 converted"));
}

void FooterBarTest::batchWhereEverythingFailedKeepsTheFileCount() {
    AppFixture fixture;
    Store& store = fixture.store();
    FooterBar footer(store);
    footer.show();
    const auto paths = fixture.writeImages(4);
    QVERIFY(fixture.addAndWait(paths));
    const QString before = footer.headline()->text();
    for (const auto& path : paths) std::filesystem::remove(path);

    store.startConversion();
    QVERIFY(fixture.waitForBatchEnd());
    QCOMPARE(store.doneItems().size(), std::size_t{0});
    QCOMPARE(footer.headline()->text(), before);
    QVERIFY(before.startsWith("4 files \u00B7 "));
    QVERIFY(!footer.convertedLine()->isVisible());
    QVERIFY(footer.convertButton()->isEnabled());
}

void FooterBarTest::cancelStopsLaunchingJobs() {
    AppFixture fixture;
    Store& store = fixture.store();
    store.setProcessorCount([] { return 1; });
    FooterBar footer(store);
    footer.show();
    QVERIFY(fixture.addAndWait(fixture.writeImages(20)));

    // Cancel as soon as the first result is in, the way a person would press it.
    int presses = 0;
    StoreWatch pressCancel(store, [&](const StoreChange& change) {
        if (change.field == StoreField::completed && store.completed() == 1 && presses++ == 0)
            footer.cancelButton()->click();
    });
    QTest::mouseClick(footer.convertButton(), Qt::LeftButton);
    QVERIFY(fixture.waitForBatchEnd());
    QCOMPARE(presses, 1);
    QVERIFY(store.completed() < store.total());
    const auto pending = std::count_if(store.items().begin(), store.items().end(),
                                       [](const ImageItem& it) { return it.status.kind() == ItemStatus::pending; });
    QVERIFY(pending > 0);
    QVERIFY(footer.convertButton()->isVisible());
    QVERIFY(!footer.cancelButton()->isVisible());
}

QTEST_MAIN(FooterBarTest)
#include "footer_bar_test.moc"
