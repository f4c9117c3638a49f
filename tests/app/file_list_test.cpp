// The file list: rows through a real batch, the context menu, Delete and
// Remove, the selection, and thumbnails.

#include <QAction>
#include <QListView>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include "app_fixture.h"
#include "file_list.h"
#include "file_list_model.h"
#include "fmt.h"
#include "look.h"
#include "row_status.h"
#include "thumb_cache.h"

using namespace krumple;
using namespace krumple::app;
using krumple::app::testing::AppFixture;

namespace {

QStringList entries(QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions()) texts << (action->isSeparator() ? QString("—") : action->text());
    return texts;
}

QAction* entry(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions())
        if (action->text() == text) return action;
    return nullptr;
}

ImageItem doneItem(std::int64_t original, std::int64_t output) {
    ImageItem item;
    item.id = ItemId::random();
    item.url = "/photos/a.jpg";
    item.originalSize = original;
    item.status = ItemStatus::done;
    item.outputURL = "/photos/a.heic";
    item.outputSize = output;
    return item;
}

}  // namespace

class FileListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rowsFollowARealBatch();
    void savingsColourSaysWhetherTheOutputGrew();
    void aResultRepaintsOnlyItsOwnRow();
    void contextMenuOffersWhatTheRowHas();
    void contextMenuActsOnItsOwnRow();
    void deleteAndRemoveOnlyOutsideABatch();
    void selectionIsTheStoresSelection();
    void thumbnailsDecodeOncePerFileAndOnlyOnScreen();
};

void FileListTest::rowsFollowARealBatch() {
    AppFixture fixture;
    Store& store = fixture.store();
    ThumbCache thumbs(1 << 20, 1);
    FileList list(store, thumbs);
    const auto paths = fixture.writeImages(3);
    QVERIFY(fixture.addAndWait(paths));
    const QPalette palette = list.palette();

    QCOMPARE(list.model()->rowCount(), 3);
    RowStatus waiting = rowStatus(*list.model()->item(0), palette);
    QCOMPARE(waiting.text, QString("Waiting"));
    QCOMPARE(waiting.color, look::secondary(palette));
    QCOMPARE(sizeCaption(*list.model()->item(0)), QString::fromStdString(Fmt::byteCount(store.items()[0].originalSize)));

    // Every status a row passes through, as the row would draw it.
    std::vector<QString> seen;
    connect(list.model(), &QAbstractItemModel::dataChanged, this, [&](const QModelIndex& from, const QModelIndex& to) {
        for (int row = from.row(); row <= to.row(); ++row)
            if (row == 0) seen.push_back(rowStatus(*list.model()->item(0), palette).text);
    });

    std::filesystem::remove(paths[2]);  // listed, then gone: its conversion must fail
    store.startConversion();
    QVERIFY(fixture.waitForBatchEnd());

    QVERIFY(std::find(seen.begin(), seen.end(), QString("Converting\u2026")) != seen.end());
    const ImageItem& done = *list.model()->item(0);
    QCOMPARE(done.status.kind(), ItemStatus::done);
    const RowStatus saved = rowStatus(done, palette);
    QCOMPARE(saved.look, RowStatus::Look::savings);
    QCOMPARE(saved.text, QString::fromStdString(Fmt::savings(done.originalSize, *done.outputSize)));
    QCOMPARE(saved.color, *done.outputSize <= done.originalSize ? look::green(palette) : look::orange(palette));
    QCOMPARE(seen.back(), saved.text);

    const RowStatus failed = rowStatus(*list.model()->item(2), palette);
    QCOMPARE(failed.look, RowStatus::Look::failure);
    QCOMPARE(failed.text, QString("Can't read this image"));
    QCOMPARE(failed.color, look::red(palette));
}

void FileListTest::savingsColourSaysWhetherTheOutputGrew() {
    const QPalette palette;
    QCOMPARE(rowStatus(doneItem(800'000, 1'000'000), palette).color, look::orange(palette));
    QCOMPARE(rowStatus(doneItem(800'000, 800'000), palette).color, look::green(palette));
    QCOMPARE(rowStatus(doneItem(800'000, 200'000), palette).color, look::green(palette));

    ImageItem noSize = doneItem(800'000, 0);
    noSize.outputSize.reset();
    QCOMPARE(rowStatus(noSize, palette).look, RowStatus::Look::none);

    ImageItem converting = doneItem(1, 1);
    converting.status = ItemStatus::converting;
    QCOMPARE(rowStatus(converting, palette).look, RowStatus::Look::spinner);
    QCOMPARE(rowStatus(converting, palette).text, QString("Converting\u2026"));
}

void FileListTest::aResultRepaintsOnlyItsOwnRow() {
    AppFixture fixture;
    Store& store = fixture.store();
    ThumbCache thumbs(1 << 20, 1);
    FileList list(store, thumbs);
    QVERIFY(fixture.addAndWait(fixture.writeImages(6)));

    int resets = 0;
    std::vector<int> spans;
    connect(list.model(), &QAbstractItemModel::modelReset, this, [&resets] { ++resets; });
    connect(list.model(), &QAbstractItemModel::dataChanged, this,
            [&spans](const QModelIndex& from, const QModelIndex& to) { spans.push_back(to.row() - from.row() + 1); });
    store.startConversion();
    QVERIFY(fixture.waitForBatchEnd());

    // The start queues every row at once; after that each start and each result is one row.
    QCOMPARE(resets, 0);
    QVERIFY(spans.size() >= 1 + 2 * 6);
    QCOMPARE(spans.front(), 6);
    QVERIFY(std::all_of(spans.begin() + 1, spans.end(), [](int span) { return span == 1; }));
}

void FileListTest::contextMenuOffersWhatTheRowHas() {
    AppFixture fixture;
    ThumbCache thumbs(1 << 20, 1);
    FileList list(fixture.store(), thumbs);
    const QStringList withoutOutput{"Show Original in File Manager", "—", "Remove"};
    const QStringList withOutput{"Show Original in File Manager", "Show Converted in File Manager", "—", "Remove"};

    ImageItem item = doneItem(10, 5);
    std::unique_ptr<QMenu> done(list.contextMenu(item, nullptr));
    QCOMPARE(entries(done.get()), withOutput);

    for (const ItemStatus& status : {ItemStatus(ItemStatus::pending), ItemStatus(ItemStatus::converting),
                                    ItemStatus::failure("Couldn't decode the image")}) {
        item.status = status;
        std::unique_ptr<QMenu> menu(list.contextMenu(item, nullptr));
        QCOMPARE(entries(menu.get()), withoutOutput);
    }
    item.status = ItemStatus::done;
    item.outputURL.reset();
    std::unique_ptr<QMenu> noOutput(list.contextMenu(item, nullptr));
    QCOMPARE(entries(noOutput.get()), withoutOutput);
}

void FileListTest::contextMenuActsOnItsOwnRow() {
    AppFixture fixture;
    Store& store = fixture.store();
    ThumbCache thumbs(1 << 20, 1);
    FileList list(store, thumbs);
    std::vector<std::filesystem::path> revealed;
    list.setReveal([&revealed](const std::filesystem::path& path) { revealed.push_back(path); });
    QVERIFY(fixture.addAndWait(fixture.writeImages(3)));
    store.startConversion();
    QVERIFY(fixture.waitForBatchEnd());

    const ImageItem second = store.items()[1];
    store.setSelection(store.items()[0].id);
    std::unique_ptr<QMenu> menu(list.contextMenu(second, nullptr));
    entry(menu.get(), "Show Original in File Manager")->trigger();
    entry(menu.get(), "Show Converted in File Manager")->trigger();
    QCOMPARE(revealed, (std::vector<std::filesystem::path>{second.url, *second.outputURL}));

    // Remove takes the row the menu belongs to, not the selected one.
    entry(menu.get(), "Remove")->trigger();
    QCOMPARE(store.items().size(), std::size_t{2});
    QVERIFY(!store.item(second.id));
    QCOMPARE(store.selection(), std::optional<ItemId>(store.items()[0].id));
}

void FileListTest::deleteAndRemoveOnlyOutsideABatch() {
    AppFixture fixture;
    Store& store = fixture.store();
    store.setProcessorCount([] { return 1; });
    ThumbCache thumbs(1 << 20, 1);
    FileList list(store, thumbs);
    list.resize(480, 400);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QVERIFY(fixture.addAndWait(fixture.writeImages(8)));

    const ItemId first = store.items()[0].id;
    store.setSelection(first);
    list.view()->setFocus();

    store.startConversion();
    QTest::keyClick(list.view(), Qt::Key_Delete);
    std::unique_ptr<QMenu> menu(list.contextMenu(store.items()[3], nullptr));
    entry(menu.get(), "Remove")->trigger();
    QCOMPARE(store.items().size(), std::size_t{8});
    QCOMPARE(store.selection(), std::optional<ItemId>(first));
    QVERIFY(fixture.waitForBatchEnd());

    QTest::keyClick(list.view(), Qt::Key_Delete);
    QCOMPARE(store.items().size(), std::size_t{7});
    QVERIFY(!store.item(first));
    QCOMPARE(store.selection(), std::nullopt);
    QVERIFY(!list.view()->selectionModel()->hasSelection());
}

void FileListTest::selectionIsTheStoresSelection() {
    AppFixture fixture;
    Store& store = fixture.store();
    ThumbCache thumbs(1 << 20, 1);
    FileList list(store, thumbs);
    list.resize(480, 400);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QVERIFY(fixture.addAndWait(fixture.writeImages(4)));
    QListView* view = list.view();

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(list.model()->index(2)).center());
    QCOMPARE(store.selection(), std::optional<ItemId>(store.items()[2].id));

    // A right click opens the menu without moving the selection.
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, view->visualRect(list.model()->index(1)).center());
    QCOMPARE(store.selection(), std::optional<ItemId>(store.items()[2].id));
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, view->visualRect(list.model()->index(1)).center());

    store.setSelection(store.items()[3].id);
    QCOMPARE(view->selectionModel()->selectedIndexes(), QModelIndexList{list.model()->index(3)});

    // Removing another row keeps the selection on the same item.
    store.remove(store.items()[0].id);
    QCOMPARE(view->selectionModel()->selectedIndexes(), QModelIndexList{list.model()->index(2)});
    QCOMPARE(store.selection(), std::optional<ItemId>(store.items()[2].id));

    store.remove(store.items()[2].id);
    QVERIFY(!view->selectionModel()->hasSelection());
    QCOMPARE(store.selection(), std::nullopt);

    store.clear();
    QVERIFY(list.showsEmptyState());
}

void FileListTest::thumbnailsDecodeOncePerFileAndOnlyOnScreen() {
    AppFixture fixture;
    Store& store = fixture.store();
    ThumbCache thumbs(8 << 20, 2);
    FileList list(store, thumbs);
    list.resize(480, 300);  // room for a handful of rows
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    const auto paths = fixture.writeImages(120);
    QVERIFY(fixture.addAndWait(paths));

    QTRY_VERIFY(thumbs.find(paths[0]) != nullptr);
    QTest::qWait(300);
    const int onScreen = 300 / list.view()->visualRect(list.model()->index(0)).height() + 1;
    QVERIFY2(thumbs.decodesFinished() <= onScreen + 2, qPrintable(QString::number(thumbs.decodesFinished())));
    QVERIFY(thumbs.find(paths[0])->width() <= ThumbCache::maxPixel);

    // The same file listed again shows the cached picture without a decode.
    const int decodes = thumbs.decodesFinished();
    store.remove(store.items()[0].id);
    QVERIFY(fixture.addAndWait({paths[0]}));
    list.view()->scrollToBottom();
    QTRY_VERIFY(thumbs.find(paths.back()) != nullptr);
    const int afterScroll = thumbs.decodesFinished();
    QVERIFY(afterScroll > decodes);
    QVERIFY(thumbs.find(paths[0]) != nullptr);
    QTest::qWait(100);
    QCOMPARE(thumbs.decodesFinished(), afterScroll);
}

QTEST_MAIN(FileListTest)
#include "file_list_test.moc"
