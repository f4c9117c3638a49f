// The window as a whole: the empty state, Add Images, the right pane
// following the selection, dropping files and folders, and a batch as the
// settings, the rows and the footer show it.

#include "app_fixture.h"

using namespace krumple;
using namespace krumple::app;
using Paths = std::vector<std::filesystem::path>;

namespace {

// Records what the window hands to the comparison view.
struct RecordingSeat final : CompareSeat {
    QWidget* widget() override { return &view; }
    void showItem(const ImageItem& item) override { shown.push_back(item.id); }
    void showNothing() override { shown.push_back(ItemId{}); }
    QWidget view;
    std::vector<ItemId> shown;
};

bool showsText(const QWidget* widget, const QString& text) {
    return std::ranges::any_of(widget->findChildren<QLabel*>(),
                               [&](QLabel* l) { return l->text() == text && l->isVisibleTo(widget->window()); });
}

QString qtPath(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

// The window over a fresh store, shown.
struct Shown : AppFixture {
    ThumbCache thumbs{1 << 20, 1};
    MainWindow window{store(), thumbs};
    Shown() { window.show(); (void)QTest::qWaitForWindowExposed(&window); }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyWindowInvitesToAddImagesThenShowsTheSelection() {
        Shown s;
        FileList* list = s.window.fileList();
        QVERIFY(list->showsEmptyState());
        QVERIFY(showsText(list->emptyState(), "Drop images or folders here"));
        QVERIFY(showsText(list->emptyState(), "PNG, JPEG, HEIC, TIFF, WebP and anything else your system can read"));
        QCOMPARE(s.window.rightPane()->currentWidget(), s.window.placeholder());
        QVERIFY(showsText(s.window.placeholder(), "Select a file to compare"));
        QCOMPARE(s.window.centralWidget()->size(), QSize(1000, 620));  // opens at its smallest
        s.window.resize(300, 200);
        QTRY_VERIFY_WITH_TIMEOUT(s.window.centralWidget()->width() >= 1000 && s.window.centralWidget()->height() >= 620, test::hangLimitMs);

        // The menu command and the empty list's button open the same panel.
        auto* command = s.window.findChild<QAction*>("addImagesAction");
        QVERIFY(command);
        QCOMPARE(command->text(), QString("Add Images\u2026"));
        QCOMPARE(command->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        command->trigger();
        QCOMPARE(s.panels.addAsked, 1);
        s.panels.filesToAdd = s.images(2);
        QCOMPARE(list->emptyState()->addButton()->text(), QString("Add Images\u2026"));
        QTest::mouseClick(list->emptyState()->addButton(), Qt::LeftButton);
        QCOMPARE(s.panels.addAsked, 2);
        QTRY_COMPARE_WITH_TIMEOUT(s.store().items().size(), std::size_t{2}, test::hangLimitMs);
        QVERIFY(!list->showsEmptyState());

        // The selected item goes to the comparison, the same view every time.
        const ItemId first = s.store().items()[0].id;
        const ItemId second = s.store().items()[1].id;
        s.store().setSelection(first);
        auto seat = std::make_unique<RecordingSeat>();
        RecordingSeat* recorder = seat.get();
        s.window.setCompareSeat(std::move(seat));
        QCOMPARE(s.window.rightPane()->currentWidget(), &recorder->view);
        s.store().setSelection(second);
        QCOMPARE(recorder->shown, (std::vector<ItemId>{first, second}));
        // Edit > Delete removes the selected row; with nothing selected the
        // view is told once, so it starts afresh for the next item.
        auto* remove = s.window.findChild<QAction*>("deleteAction");
        QVERIFY(remove && remove->isEnabled());
        QCOMPARE(remove->shortcut(), QKeySequence(QKeySequence::Delete));
        s.window.fileList()->view()->setFocus();
        QTest::keyClick(s.window.fileList()->view(), Qt::Key_Delete);
        QCOMPARE(s.store().items().size(), std::size_t{1});
        QCOMPARE(s.window.rightPane()->currentWidget(), s.window.placeholder());
        QVERIFY(!remove->isEnabled());
        s.store().remove(first);
        QCOMPARE(recorder->shown, (std::vector<ItemId>{first, second, ItemId{}}));
    }

    void fileDragHighlightsAndDropAddsOnce() {
        Shown s;
        QWidget* content = s.window.centralWidget();
        QWidget* overlay = s.window.dropOverlay();
        Paths dropped;
        connect(s.window.dropTarget(), &DropTarget::dropped, this,
                [&dropped](const Paths& paths) { dropped.insert(dropped.end(), paths.begin(), paths.end()); });
        auto drag = [&](QMimeData& data, bool drop) {
            QDragEnterEvent enter(content->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(content, &enter);
            const bool accepted = enter.isAccepted() && overlay->isVisible();
            QDropEvent event(content->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QDragLeaveEvent leave;
            QApplication::sendEvent(content, drop ? static_cast<QEvent*>(&event) : &leave);
            return accepted && !overlay->isVisible();
        };
        QMimeData web;  // links, but to no file
        web.setUrls({QUrl("https://example.com/picture.png")});
        QVERIFY(!drag(web, true));

        // A name that isn't UTF-8 keeps its bytes.
        const auto file = s.folder() / "caf\xC3\xA9 a\xFF.png";
        std::filesystem::copy_file(s.image("a.png"), file);
        const auto folder = s.image("sub/b.png").parent_path();
        QMimeData files;
        files.setData("text/uri-list", ("# a comment\r\n" + fileUri(file) + "\r\n" + fileUri(folder)).toUtf8());
        QVERIFY(drag(files, false));
        QVERIFY(dropped.empty());
        QVERIFY(drag(files, true));
        QCOMPARE(overlay->geometry(), content->rect());
        QCOMPARE(dropped, (Paths{file, folder}));
        // The folder is expanded by the store: both pictures arrive.
        QTRY_COMPARE_WITH_TIMEOUT(s.store().items().size(), std::size_t{2}, test::hangLimitMs);
    }

    void batchAsTheWindowShowsIt_data() {
        QTest::addColumn<int>("vanished");  // of five sources, from the last, after being listed
        QTest::addColumn<QString>("converted");
        QTest::addColumn<bool>("onlySmaller");  // with 8-pixel sources, whose outputs all come out larger
        QTest::newRow("some fail") << 2 << "3 of 5 converted, 2 failed" << false;
        QTest::newRow("all fail") << 5 << "0 of 5 converted, 5 failed" << false;
        QTest::newRow("originals kept") << 1 << "0 of 5 converted, 1 failed \u00B7 4 originals kept" << true;
    }

    void batchAsTheWindowShowsIt() {
        QFETCH(int, vanished);
        QFETCH(QString, converted);
        QFETCH(bool, onlySmaller);
        Shown s;
        Store& store = s.store();
        store.setProcessorCount([] { return 1; });
        // So that every setting can be used.
        store.setLimitWidth(true);
        store.setCapsAutomatic(true);
        store.setOutputFolder(s.folder());
        store.setOutputMode(OutputMode::folder);
        store.setOnlySmaller(onlySmaller);
        const auto paths = onlySmaller ? s.images(5, 8, 8) : s.images(5);
        QVERIFY(s.addAndWait(paths));
        for (int i = 0; i < vanished; ++i) std::filesystem::remove(paths[std::size_t(4 - i)]);
        FooterBar* footer = s.window.footer();
        FileListModel* rows = s.window.fileList()->model();
        QCOMPARE(rows->index(0).data().toString(), QString("img1.png"));
        const QString before = footer->headline()->text();
        const auto settings = s.window.settingsPanel()->findChildren<QWidget*>();
        // Clear, Convert, Cancel and the progress bar shown; any and every setting enabled.
        const auto state = [&] {
            return std::vector<bool>{footer->clearButton()->isVisible(), footer->convertButton()->isVisible(),
                                     footer->cancelButton()->isVisible(), footer->progress()->isVisible(),
                                     std::ranges::any_of(settings, &QWidget::isEnabled),
                                     std::ranges::all_of(settings, &QWidget::isEnabled)};
        };
        int resets = 0;
        std::vector<int> spans, values;
        const auto status = [&](int row) { return rowStatus(*rows->item(row), QPalette()).text; };
        std::vector<QString> firstRow;  // row 0's status text at each repaint
        connect(rows, &QAbstractItemModel::modelReset, this, [&resets] { ++resets; });
        connect(rows, &QAbstractItemModel::dataChanged, this, [&](const QModelIndex& from, const QModelIndex& to) {
            spans.push_back(to.row() - from.row() + 1);
            if (from.row() == 0) firstRow.push_back(status(0));
        });
        connect(footer->progress(), &QProgressBar::valueChanged, this, [&values](int v) { values.push_back(v); });

        QTest::mouseClick(footer->convertButton(), Qt::LeftButton);
        QCOMPARE(state(), (std::vector<bool>{false, false, true, true, false, false}));
        QCOMPARE(footer->progress()->maximum(), 5);
        QVERIFY(s.waitForBatchEnd());
        QCOMPARE(state(), (std::vector<bool>{true, true, false, false, true, true}));
        QCOMPARE(values, (std::vector<int>{1, 2, 3, 4, 5}));
        // The start queues every row at once; after that each start and each result is one row.
        QCOMPARE(resets, 0);
        QCOMPARE(spans.front(), 5);
        QVERIFY(std::all_of(spans.begin() + 1, spans.end(), [](int span) { return span == 1; }));
        QCOMPARE(firstRow, (std::vector<QString>{"Waiting", "Converting\u2026", status(0)}));
        QCOMPARE(status(4), QString("Can't read this image"));
        QCOMPARE(status(0).startsWith("Original kept (output was "), onlySmaller);

        // The saving compares the converted files with their own sources, not the whole list.
        std::int64_t sources = 0, outputs = 0;
        for (const ImageItem& item : store.items())
            if (item.status.kind() == ItemStatus::done) {
                sources += item.originalSize;
                outputs += item.outputSize.value_or(0);
            }
        const QString total = "Total: " + QString::fromStdString(Fmt::savings(sources, outputs));
        QCOMPARE(footer->headline()->text(), vanished < 5 ? total : before);
        QCOMPARE(footer->convertedLine()->text(), converted);
        QCOMPARE(footer->convertedLine()->isVisible(), !converted.isEmpty());
    }

    void addPanelTakesFilesAndFoldersTogether() {
        AppFixture fixture;
        const auto file = fixture.image("pick/one.png");
        const auto folder = fixture.image("pick/album/two.png").parent_path();
        AddFilesDialog dialog;
        QCOMPARE(dialog.labelText(QFileDialog::Accept), QString("Add"));
        dialog.setDirectory(qtPath(file.parent_path()));
        dialog.show();
        auto* view = dialog.findChild<QListView*>("listView");
        auto* files = dialog.findChild<QFileSystemModel*>();
        QVERIFY(view && files);
        QCOMPARE(view->selectionMode(), QAbstractItemView::ExtendedSelection);
        QTRY_VERIFY_WITH_TIMEOUT(files->index(qtPath(file)).isValid() && files->index(qtPath(folder)).isValid(), test::hangLimitMs);
        for (const auto& path : {file, folder})
            view->selectionModel()->select(files->index(qtPath(path)),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QStringList chosen = dialog.chosen();
        chosen.sort();
        QCOMPARE(chosen, (QStringList{qtPath(folder), qtPath(file)}));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
