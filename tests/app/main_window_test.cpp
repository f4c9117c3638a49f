// The window as a whole: its size limits, the empty state, the right pane's
// switch between the placeholder and the comparison, the menu command, and
// dropping files.

#include <QAction>
#include <QFileSystemModel>
#include <QListView>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTest>

#include "add_files_dialog.h"
#include "app_fixture.h"
#include "compare_seat.h"
#include "drop_overlay.h"
#include "drop_target.h"
#include "empty_state.h"
#include "file_list.h"
#include "main_window.h"
#include "paths.h"
#include "placeholder_view.h"
#include "thumb_cache.h"

using namespace krumple;
using namespace krumple::app;
using krumple::app::testing::AppFixture;

namespace {

// Records what the window hands to the comparison view.
class RecordingSeat final : public CompareSeat {
public:
    QWidget* widget() override { return &view; }
    void showItem(const ImageItem& item) override { shown.push_back(item); }
    QWidget view;
    std::vector<ImageItem> shown;
};

QMimeData* fileDrag(const QList<QUrl>& urls) {
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

QStringList labelTexts(const QWidget* widget) {
    QStringList texts;
    for (const QLabel* label : widget->findChildren<QLabel*>())
        if (label->isVisibleTo(widget->window())) texts << label->text();
    return texts;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowAndPanesKeepTheirMinimumSizes();
    void emptyWindowInvitesToDropAndShowsThePlaceholder();
    void rightPaneFollowsTheSelection();
    void addImagesCommandAndButtonOpenTheSamePanel();
    void fileDragHighlightsAndDropAddsOnce();
    void dragsWithoutFileUrlsAreRefused();
    void dropWithNoLocalFileStillAddsOnceWithNothing();
    void droppedFilesKeepTheirBytes();
    void addPanelTakesFilesAndFoldersTogether();
};

void MainWindowTest::windowAndPanesKeepTheirMinimumSizes() {
    AppFixture fixture;
    ThumbCache thumbs(1 << 20, 1);
    MainWindow window(fixture.store(), thumbs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.splitter()->widget(0)->width(), MainWindow::leftIdealWidth);

    window.resize(300, 200);
    QTest::qWait(20);
    QVERIFY(window.centralWidget()->width() >= 1000);
    QVERIFY(window.centralWidget()->height() >= 620);

    window.resize(1400, 800);
    QTest::qWait(20);
    window.splitter()->setSizes({100, 1300});
    QVERIFY(window.leftPane()->width() >= 460);
    window.splitter()->setSizes({1300, 100});
    QVERIFY(window.rightPane()->width() >= 420);
    QVERIFY(window.leftPane()->width() + window.rightPane()->width() <= window.splitter()->width());
}

void MainWindowTest::emptyWindowInvitesToDropAndShowsThePlaceholder() {
    AppFixture fixture;
    ThumbCache thumbs(1 << 20, 1);
    MainWindow window(fixture.store(), thumbs);
    window.show();

    QVERIFY(window.fileList()->showsEmptyState());
    const QStringList invitation = labelTexts(window.fileList()->emptyState());
    QVERIFY(invitation.contains("Drop images or folders here"));
    QVERIFY(invitation.contains("PNG, JPEG, HEIC, TIFF, WebP and anything else your system can read"));
    QCOMPARE(window.fileList()->emptyState()->addButton()->text(), QString("Add Images\u2026"));
    QCOMPARE(window.rightPane()->currentWidget(), window.placeholder());
    QVERIFY(labelTexts(window.placeholder()).contains("Select a file to compare"));

    QVERIFY(fixture.addAndWait({fixture.writeImage("one.png")}));
    QVERIFY(!window.fileList()->showsEmptyState());
    QVERIFY(window.fileList()->emptyState()->isHidden() || !window.fileList()->emptyState()->isVisible());
}

void MainWindowTest::rightPaneFollowsTheSelection() {
    AppFixture fixture;
    ThumbCache thumbs(1 << 20, 1);
    MainWindow window(fixture.store(), thumbs);
    QVERIFY(fixture.addAndWait(fixture.writeImages(2)));
    Store& store = fixture.store();
    const ItemId first = store.items()[0].id;
    const ItemId second = store.items()[1].id;

    // Without a comparison view a selection leaves the placeholder up.
    store.setSelection(first);
    QCOMPARE(window.rightPane()->currentWidget(), window.placeholder());

    auto seat = std::make_unique<RecordingSeat>();
    RecordingSeat* recorder = seat.get();
    window.setCompareSeat(std::move(seat));
    QCOMPARE(window.rightPane()->currentWidget(), &recorder->view);
    QCOMPARE(recorder->shown.back().id, first);

    // Moving the selection hands the same view the other item.
    store.setSelection(second);
    QCOMPARE(window.rightPane()->currentWidget(), &recorder->view);
    QCOMPARE(recorder->shown.back().id, second);

    // A change of another row is not the comparison's business.
    const std::size_t handed = recorder->shown.size();
    store.remove(first);
    QCOMPARE(recorder->shown.size(), handed);

    store.remove(second);
    QCOMPARE(window.rightPane()->currentWidget(), window.placeholder());
}

void MainWindowTest::addImagesCommandAndButtonOpenTheSamePanel() {
    AppFixture fixture;
    ThumbCache thumbs(1 << 20, 1);
    MainWindow window(fixture.store(), thumbs);
    window.show();
    auto* command = window.findChild<QAction*>("addImagesAction");
    QVERIFY(command);
    QCOMPARE(command->text(), QString("Add Images\u2026"));
    QCOMPARE(command->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));

    command->trigger();
    QCOMPARE(fixture.panels.addAsked, 1);
    fixture.panels.filesToAdd = {fixture.writeImage("picked.png")};
    QTest::mouseClick(window.fileList()->emptyState()->addButton(), Qt::LeftButton);
    QCOMPARE(fixture.panels.addAsked, 2);
    QTRY_COMPARE(fixture.store().items().size(), std::size_t{1});
}

void MainWindowTest::fileDragHighlightsAndDropAddsOnce() {
    AppFixture fixture;
    ThumbCache thumbs(1 << 20, 1);
    MainWindow window(fixture.store(), thumbs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget* content = window.centralWidget();

    std::vector<std::vector<std::filesystem::path>> drops;
    connect(window.dropTarget(), &DropTarget::dropped, this,
            [&drops](const std::vector<std::filesystem::path>& paths) { drops.push_back(paths); });

    const auto a = fixture.writeImage("a.png");
    const auto b = fixture.writeImage("sub/b.png");
    std::unique_ptr<QMimeData> data(fileDrag({QUrl::fromLocalFile(QString::fromStdString(a.string())),
                                              QUrl::fromLocalFile(QString::fromStdString(b.parent_path().string()))}));
    const QPoint middle = content->rect().center();

    QDragEnterEvent enter(middle, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(content, &enter);
    QVERIFY(enter.isAccepted());
    QVERIFY(window.dropOverlay()->isVisible());
    QCOMPARE(window.dropOverlay()->geometry(), content->rect());

    QDragLeaveEvent leave;
    QApplication::sendEvent(content, &leave);
    QVERIFY(!window.dropOverlay()->isVisible());

    QApplication::sendEvent(content, &enter);
    QDropEvent drop(QPointF(middle), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(content, &drop);
    QVERIFY(drop.isAccepted());
    QVERIFY(!window.dropOverlay()->isVisible());
    QCOMPARE(drops.size(), std::size_t{1});
    QCOMPARE(drops[0], (std::vector<std::filesystem::path>{a, b.parent_path()}));
    // The folder is expanded by the store: both pictures arrive.
    QTRY_COMPARE(fixture.store().items().size(), std::size_t{2});
}

void MainWindowTest::dragsWithoutFileUrlsAreRefused() {
    AppFixture fixture;
    ThumbCache thumbs(1 << 20, 1);
    MainWindow window(fixture.store(), thumbs);
    window.show();
    QWidget* content = window.centralWidget();
    int drops = 0;
    connect(window.dropTarget(), &DropTarget::dropped, this, [&drops] { ++drops; });

    QMimeData text;
    text.setText("/tmp/some/file.png");
    QMimeData web;
    web.setUrls({QUrl("https://example.com/picture.png")});
    QMimeData picture;
    picture.setImageData(QImage(4, 4, QImage::Format_RGB32));
    for (QMimeData* data : {&text, &web, &picture}) {
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(content, &enter);
        QVERIFY(!enter.isAccepted());
        QVERIFY(!window.dropOverlay()->isVisible());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(content, &drop);
    }
    QCOMPARE(drops, 0);
}

void MainWindowTest::dropWithNoLocalFileStillAddsOnceWithNothing() {
    AppFixture fixture;
    ThumbCache thumbs(1 << 20, 1);
    MainWindow window(fixture.store(), thumbs);
    window.show();
    std::vector<std::vector<std::filesystem::path>> drops;
    connect(window.dropTarget(), &DropTarget::dropped, this,
            [&drops](const std::vector<std::filesystem::path>& paths) { drops.push_back(paths); });

    // A file URL of another machine: offered as a file, but nothing readable here.
    QMimeData data;
    data.setData("text/uri-list", "file://otherhost/share/a.png\r\n");
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.centralWidget(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.centralWidget(), &drop);
    QCOMPARE(drops.size(), std::size_t{1});
    QVERIFY(drops[0].empty());
}

void MainWindowTest::droppedFilesKeepTheirBytes() {
    QMimeData data;
    data.setData("text/uri-list",
                 "# a comment\r\n"
                 "file:///tmp/caf%C3%A9/a%FFb.png\r\n"
                 "file://localhost/tmp/two%20words.jpg\r\n"
                 "https://example.com/x.png\r\n");
    const auto files = droppedFiles(data);
    QVERIFY(files.has_value());
    QCOMPARE(files->size(), std::size_t{2});
    QCOMPARE((*files)[0].native(), std::string("/tmp/caf\xC3\xA9/a\xFF" "b.png"));
    QCOMPARE((*files)[1].native(), std::string("/tmp/two words.jpg"));
    // Shown in the file manager under the very same name.
    QCOMPARE(fileUri((*files)[0]), QString("file:///tmp/caf%C3%A9/a%FFb.png"));
}

void MainWindowTest::addPanelTakesFilesAndFoldersTogether() {
    AppFixture fixture;
    const auto file = fixture.writeImage("pick/one.png");
    const auto folder = fixture.writeImage("pick/album/two.png").parent_path();
    AddFilesDialog dialog;
    QCOMPARE(dialog.labelText(QFileDialog::Accept), QString("Add"));
    dialog.setDirectory(QString::fromStdString(file.parent_path().string()));
    dialog.show();

    auto* view = dialog.findChild<QListView*>("listView");
    QVERIFY(view);
    QCOMPARE(view->selectionMode(), QAbstractItemView::ExtendedSelection);
    auto* files = dialog.findChild<QFileSystemModel*>();
    QVERIFY(files);
    QTRY_VERIFY(files->index(QString::fromStdString(file.string())).isValid() &&
                files->index(QString::fromStdString(folder.string())).isValid());
    for (const auto& path : {file, folder})
        view->selectionModel()->select(files->index(QString::fromStdString(path.string())),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QStringList chosen = dialog.chosen();
    chosen.sort();
    QCOMPARE(chosen, (QStringList{QString::fromStdString(folder.string()), QString::fromStdString(file.string())}));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
