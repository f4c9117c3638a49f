#include "file_list.h"

#include <QAction>
#include <QMouseEvent>
#include <QListView>
#include <QMenu>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedLayout>

#include "empty_state.h"
#include "file_list_model.h"
#include "file_row_delegate.h"
#include "paths.h"
#include "reveal_in_file_manager.h"
#include "spinner.h"
#include "thumb_cache.h"

namespace krumple::app {

FileList::FileList(Store& store, ThumbCache& thumbs, QWidget* parent)
    : QWidget(parent),
      store_(store),
      thumbs_(thumbs),
      model_(new FileListModel(store, this)),
      delegate_(new FileRowDelegate(*model_, thumbs, this)),
      view_(new QListView(this)),
      empty_(new EmptyState(this)),
      pages_(new QStackedLayout(this)),
      reveal_(revealInFileManager),
      watch_(store, [this](const StoreChange& change) { storeChanged(change); }) {
    view_->setModel(model_);
    view_->setItemDelegate(delegate_);
    view_->setObjectName(QStringLiteral("fileListView"));
    view_->setAccessibleName(tr("Files to convert"));
    // Focus shows even with no row selected: a ring in the highlight around the list.
    view_->setStyleSheet(QStringLiteral("QListView { border: 2px solid transparent; }"
                                        "QListView:focus { border: 2px solid palette(highlight); }"));
    // Every row is as tall as the next: the view never measures 10,000 rows.
    view_->setUniformItemSizes(true);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view_->setFrameShape(QFrame::NoFrame);
    view_->setMouseTracking(true);
    view_->viewport()->setAttribute(Qt::WA_Hover);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    view_->setSpacing(0);

    pages_->addWidget(empty_);
    pages_->addWidget(view_);
    pages_->setCurrentWidget(store_.items().empty() ? static_cast<QWidget*>(empty_) : view_);

    connect(empty_, &EmptyState::addRequested, this, [this] { store_.openPanel(); });

    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { selectionPicked(); });
    connect(view_, &QListView::customContextMenuRequested, this, [this](const QPoint& at) {
        const ImageItem* item = model_->item(view_->indexAt(at));
        if (!item) return;
        QMenu* menu = contextMenu(*item, this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(view_->viewport()->mapToGlobal(at));
    });

    // A right click opens the row's menu without moving the selection (and
    // with it the comparison) to that row.
    view_->viewport()->installEventFilter(this);

    // Delete is the window's Edit menu command; a second shortcut on the same
    // key would make both ambiguous.
    auto* backspace = new QShortcut(QKeySequence(Qt::Key_Backspace), view_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(backspace, &QShortcut::activated, this, [this] { store_.removeSelected(); });

    // Thumbnails are wanted only for rows on screen.
    connect(view_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { visibleRowsChanged(); });
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { visibleRowsChanged(); });
    connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] { visibleRowsChanged(); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { visibleRowsChanged(); });
    connect(&thumbs_, &ThumbCache::loaded, this, [this](const QByteArray& path) { thumbnailLoaded(path); });

    spinnerTimer_.setInterval(spinnerFrameMsecs);
    connect(&spinnerTimer_, &QTimer::timeout, this, [this] { turnSpinners(); });
    if (store_.isRunning()) spinnerTimer_.start();
    showSelection();
}

FileList::~FileList() = default;

bool FileList::eventFilter(QObject* watched, QEvent* event) {
    const bool press = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    if (watched == view_->viewport() && press && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
        return true;
    return QWidget::eventFilter(watched, event);
}

bool FileList::showsEmptyState() const { return pages_->currentWidget() == empty_; }

void FileList::storeChanged(const StoreChange& change) {
    switch (change.field) {
    case StoreField::items:
        pages_->setCurrentWidget(store_.items().empty() ? static_cast<QWidget*>(empty_) : view_);
        if (change.edit != StoreChange::ItemsEdit::updated) showSelection();
        break;
    case StoreField::selection: showSelection(); break;
    case StoreField::isRunning:
        if (store_.isRunning())
            spinnerTimer_.start();
        else
            spinnerTimer_.stop();
        break;
    default: break;
    }
}

void FileList::showSelection() {
    const std::optional<ItemId> selected = store_.selection();
    const QModelIndex index = selected ? model_->indexOf(*selected) : QModelIndex();
    QItemSelectionModel* selection = view_->selectionModel();
    const bool shown = index.isValid() ? selection->isSelected(index) && selection->selectedIndexes().size() == 1
                                       : !selection->hasSelection();
    if (shown) return;
    syncingSelection_ = true;
    if (index.isValid()) {
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        view_->scrollTo(index);
    } else {
        selection->clearSelection();
    }
    syncingSelection_ = false;
}

void FileList::selectionPicked() {
    // Changes the view makes while rows come and go are put right afterwards
    // from the store's own selection (showSelection()).
    if (syncingSelection_ || model_->changingRows()) return;
    const QModelIndexList picked = view_->selectionModel()->selectedIndexes();
    const ImageItem* item = picked.isEmpty() ? nullptr : model_->item(picked.first());
    store_.setSelection(item ? std::optional<ItemId>(item->id) : std::nullopt);
}

QMenu* FileList::contextMenu(const ImageItem& item, QWidget* parent) {
    auto* menu = new QMenu(parent);
    const ImageItem row = item;
    menu->addAction(tr("Show Original in File Manager"), this, [this, row] { reveal_(row.url); });
    if (row.outputURL && row.status.kind() == ItemStatus::done)
        menu->addAction(tr("Show Converted in File Manager"), this, [this, row] { reveal_(*row.outputURL); });
    menu->addSeparator();
    menu->addAction(tr("Remove"), this, [this, row] { store_.remove(row.id); });
    return menu;
}

std::pair<int, int> FileList::visibleRows() const {
    const int count = model_->rowCount();
    if (count == 0 || !view_->isVisible()) return {0, -1};
    const QRect area = view_->viewport()->rect();
    const QModelIndex first = view_->indexAt(area.topLeft() + QPoint(area.width() / 2, 0));
    const QModelIndex last = view_->indexAt(area.bottomLeft() + QPoint(area.width() / 2, 0));
    return {first.isValid() ? first.row() : 0, last.isValid() ? last.row() : count - 1};
}

void FileList::visibleRowsChanged() {
    const auto [first, last] = visibleRows();
    QSet<QByteArray> onScreen;
    for (int row = first; row <= last; ++row)
        if (const ImageItem* item = model_->item(row)) onScreen.insert(pathBytes(item->url));
    thumbs_.keepOnly(onScreen);
}

void FileList::thumbnailLoaded(const QByteArray& path) {
    const auto [first, last] = visibleRows();
    for (int row = first; row <= last; ++row) {
        const ImageItem* item = model_->item(row);
        if (item && pathBytes(item->url) == path) view_->viewport()->update(view_->visualRect(model_->index(row)));
    }
}

void FileList::turnSpinners() {
    const auto [first, last] = visibleRows();
    for (int row = first; row <= last; ++row) {
        const ImageItem* item = model_->item(row);
        if (item && item->status.kind() == ItemStatus::converting)
            view_->viewport()->update(view_->visualRect(model_->index(row)));
    }
}

}  // namespace krumple::app
