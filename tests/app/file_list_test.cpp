// The file list: what a row's status shows, the context menu, the selection
// and Delete, and thumbnails. A batch through the rows is in main_window_test.

#include <atomic>

#include "app_fixture.h"

using namespace krumple;
using namespace krumple::app;
Q_DECLARE_METATYPE(krumple::ItemStatus)

namespace {

QStringList entries(QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions()) texts << (action->isSeparator() ? QString("—") : action->text());
    return texts;
}

// A list over the fixture's store, shown with room for a handful of rows.
struct Shown : AppFixture {
    ThumbCache thumbs;
    FileList list{store(), thumbs};
    explicit Shown(ThumbCache::Decoder decoder = ThumbCache::decodeThumbnail) : thumbs(8 << 20, 2, std::move(decoder)) {
        list.resize(480, 300);
        list.show();
        (void)QTest::qWaitForWindowExposed(&list);
    }
};

}  // namespace

class FileListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void statusColumn_data() {
        const QPalette palette;
        QTest::addColumn<ItemStatus>("status");
        QTest::addColumn<qint64>("output");  // bytes, from 800,000; -1 for none
        QTest::addColumn<qint64>("rejected");  // a kept original: the output's bytes; -1 for none
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("color");
        const QString grew = QString::fromStdString(Fmt::savings(800'000, 1'000'000));
        const QString same = QString::fromStdString(Fmt::savings(800'000, 800'000));
        QTest::newRow("grew") << ItemStatus(ItemStatus::done) << 1'000'000LL << -1LL << grew << look::orange(palette);
        QTest::newRow("same size") << ItemStatus(ItemStatus::done) << 800'000LL << -1LL << same << look::green(palette);
        QTest::newRow("original kept") << ItemStatus(ItemStatus::done) << 800'000LL << 896'000LL
                                       << "Original kept (output was 12% larger)" << look::secondary(palette);
        QTest::newRow("failed") << ItemStatus::failure(ConvertError::unreadable) << -1LL << -1LL
                                << "Can't read this image" << look::red(palette);
    }

    void statusColumn() {
        QFETCH(ItemStatus, status);
        QFETCH(qint64, output);
        QFETCH(qint64, rejected);
        ImageItem item;
        item.originalSize = 800'000;
        item.status = status;
        if (output >= 0) item.outputSize = output;
        if (rejected >= 0) item.rejectedOutputSize = rejected;
        const RowStatus shown = rowStatus(item, QPalette());
        QTEST(shown.text, "text");
        QTEST(shown.color, "color");
    }

    void sizeCaptionTellsWhatASearchChose() {
        ImageItem item;
        item.originalSize = 800'000;
        item.status = ItemStatus::done;
        const QString size = QString::fromStdString(Fmt::byteCount(800'000));
        QCOMPARE(sizeCaption(item), size);
        item.chosenQuality = 0.625;
        QCOMPARE(sizeCaption(item), size + " \u00B7 quality 63%");
        item.distance = 1.44;
        QCOMPARE(sizeCaption(item), size + " \u00B7 quality 63% \u00B7 distance 1.4");
        item.status = ItemStatus::converting;  // converting again: the old choice is not shown
        QCOMPARE(sizeCaption(item), size);
    }

    void contextMenuActsOnItsOwnRow() {
        Shown s;
        Store& store = s.store();
        std::vector<std::filesystem::path> revealed;
        s.list.setReveal([&revealed](const std::filesystem::path& path) { revealed.push_back(path); });
        QVERIFY(s.addAndWait(s.images(2)));
        store.setSelection(store.items()[0].id);
        ImageItem row = store.items()[1];
        row.outputURL = s.folder() / "img2.jpg";  // named when queued, there once done
        row.status = ItemStatus::converting;
        std::unique_ptr<QMenu> converting(s.list.contextMenu(row, nullptr));
        QCOMPARE(entries(converting.get()), (QStringList{"Show Original in File Manager", "—", "Remove"}));

        row.status = ItemStatus::done;
        std::unique_ptr<QMenu> menu(s.list.contextMenu(row, nullptr));
        QCOMPARE(entries(menu.get()),
                 (QStringList{"Show Original in File Manager", "Show Converted in File Manager", "—", "Remove"}));
        menu->actions()[0]->trigger();
        menu->actions()[1]->trigger();
        QCOMPARE(revealed, (std::vector<std::filesystem::path>{row.url, *row.outputURL}));
        // Remove takes the row the menu belongs to, not the selected one.
        menu->actions()[3]->trigger();
        QCOMPARE(store.items().size(), std::size_t{1});
        QCOMPARE(store.selection(), std::optional<ItemId>(store.items()[0].id));
    }

    void selectionIsTheStoresAndBackspaceRemovesIt() {
        Shown s;
        Store& store = s.store();
        QVERIFY(s.addAndWait(s.images(4)));
        QListView* view = s.list.view();
        const auto centre = [&](int row) { return view->visualRect(s.list.model()->index(row)).center(); };

        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre(2));
        QCOMPARE(store.selection(), std::optional<ItemId>(store.items()[2].id));
        // A right click opens the menu without moving the selection.
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, centre(1));
        QCOMPARE(store.selection(), std::optional<ItemId>(store.items()[2].id));

        store.setSelection(store.items()[3].id);
        QCOMPARE(view->selectionModel()->selectedIndexes(), QModelIndexList{s.list.model()->index(3)});
        // Removing another row keeps the selection on the same item.
        store.remove(store.items()[0].id);
        QCOMPARE(view->selectionModel()->selectedIndexes(), QModelIndexList{s.list.model()->index(2)});

        view->setFocus();
        QTest::keyClick(view, Qt::Key_Backspace);
        QCOMPARE(store.items().size(), std::size_t{2});
        QCOMPARE(store.selection(), std::nullopt);
        QVERIFY(!view->selectionModel()->hasSelection());
    }

    void thumbnailsDecodeOncePerFileAndOnlyOnScreen() {
        std::atomic<int> decodes = 0;  // begun, on the workers
        Shown s([&decodes](const std::filesystem::path& path) { ++decodes; return ThumbCache::decodeThumbnail(path); });
        const auto paths = s.images(120, 300, 200);
        QVERIFY(s.addAndWait(paths));
        const int onScreen = 300 / s.list.view()->visualRect(s.list.model()->index(0)).height() + 1;
        // The newest request is decoded first: once the top rows are in, a
        // request for any row off screen would have been taken too.
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(paths.begin(), paths.begin() + onScreen, [&](auto& p) { return s.thumbs.find(p); }), test::hangLimitMs);
        QVERIFY2(decodes <= onScreen + 1, qPrintable(QString::number(decodes)));
        QCOMPARE(s.thumbs.find(paths[0])->width(), ThumbCache::maxPixel);
        // The same file listed again finds its picture without a decode.
        s.store().remove(s.store().items()[0].id);
        QVERIFY(s.addAndWait({paths[0]}));
        QVERIFY(s.thumbs.find(paths[0]));
    }
};

QTEST_MAIN(FileListTest)
#include "file_list_test.moc"
