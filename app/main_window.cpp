#include "main_window.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app_menus.h"
#include "compare_seat.h"
#include "drop_overlay.h"
#include "drop_target.h"
#include "file_list.h"
#include "footer_bar.h"
#include "look.h"
#include "placeholder_view.h"
#include "settings_panel.h"

namespace krumple::app {
namespace {

// A hairline in the text colour, faint enough for light and dark palettes alike.
class Divider : public QWidget {
public:
    explicit Divider(QWidget* parent) : QWidget(parent) { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent*) override {
        QColor line = look::primary(palette());
        line.setAlphaF(0.15f);
        QPainter(this).fillRect(rect(), line);
    }
};

QWidget* divider(QWidget* parent) { return new Divider(parent); }

}  // namespace

MainWindow::MainWindow(Store& store, ThumbCache& thumbs, QWidget* parent)
    : QMainWindow(parent),
      store_(store),
      splitter_(new QSplitter(Qt::Horizontal)),
      left_(new QWidget),
      right_(new QStackedWidget),
      placeholder_(new PlaceholderView),
      settings_(new SettingsPanel(store)),
      list_(new FileList(store, thumbs)),
      footer_(new FooterBar(store)),
      watch_(store, [this](const StoreChange& change) {
          if (change.field == StoreField::selection || change.field == StoreField::items) showSelected();
          enableCommands();
      }) {
    setWindowTitle(QStringLiteral("Krumple"));

    auto* leftColumn = new QVBoxLayout(left_);
    leftColumn->setContentsMargins(0, 0, 0, 0);
    leftColumn->setSpacing(0);
    leftColumn->addWidget(settings_);
    leftColumn->addWidget(divider(left_));
    leftColumn->addWidget(list_, 1);
    leftColumn->addWidget(divider(left_));
    leftColumn->addWidget(footer_);
    left_->setMinimumWidth(scaled(leftMinimumWidth));

    right_->addWidget(placeholder_);
    right_->setMinimumWidth(scaled(rightMinimumWidth));

    splitter_->addWidget(left_);
    splitter_->addWidget(right_);
    splitter_->setChildrenCollapsible(false);
    splitter_->setAccessibleName(tr("Files and comparison"));
    splitter_->handle(1)->setAccessibleName(tr("Divider between the files and the comparison"));
    // A wider window gives its room to the comparison.
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({scaled(leftIdealWidth), scaled(minimumContentWidth - leftIdealWidth)});

    auto* content = new QWidget;
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->addWidget(splitter_);
    content->setMinimumSize(scaled(minimumContentWidth), scaled(minimumContentHeight));
    setCentralWidget(content);

    drop_ = new DropTarget(content);
    overlay_ = new DropOverlay(content);
    connect(drop_, &DropTarget::hoveringChanged, overlay_, [this](bool hovering) {
        overlay_->raise();
        overlay_->setVisible(hovering);
    });
    connect(drop_, &DropTarget::dropped, this,
            [this](const std::vector<std::filesystem::path>& paths) { store_.add(paths); });

    const MenuActions actions = addMenus(*this, store_, *splitter_, [this] {
        splitter_->setSizes({scaled(leftIdealWidth), std::max(scaled(rightMinimumWidth), splitter_->width() - scaled(leftIdealWidth))});
    });
    delete_ = actions.remove;
    clear_ = actions.clear;
    convert_ = actions.convert;
    cancel_ = actions.cancel;
    enableCommands();
    showSelected();
    // Opens at its smallest, menus included: the size everything was laid out for.
    resize(minimumSizeHint());
}

MainWindow::~MainWindow() = default;

// The sizes above were laid out for a 14-pixel line; a larger font scales them.
int MainWindow::scaled(int pixels) const {
    return static_cast<int>(std::lround(pixels * std::max(1.0, fontMetrics().height() / 14.0)));
}

void MainWindow::setCompareSeat(std::unique_ptr<CompareSeat> seat) {
    if (seat_) right_->removeWidget(seat_->widget());
    seat_ = std::move(seat);
    if (seat_) right_->addWidget(seat_->widget());
    showSelected();
}

void MainWindow::enableCommands() {
    delete_->setEnabled(store_.selection() && !store_.isRunning());
    convert_->setEnabled(store_.canConvert());
    cancel_->setEnabled(store_.isRunning());
    clear_->setEnabled(!store_.items().empty() && !store_.isRunning());
}

void MainWindow::showSelected() {
    const std::optional<ImageItem> selected = store_.selectedItem();
    if (!selected || !seat_) {
        if (seat_ && shown_) seat_->showNothing();
        shown_.reset();
        right_->setCurrentWidget(placeholder_);
        return;
    }
    // The same view gets every new item: it keeps its own state across them.
    // Changes of other rows don't concern it.
    if (right_->currentWidget() != seat_->widget() || selected != shown_) seat_->showItem(*selected);
    shown_ = selected;
    right_->setCurrentWidget(seat_->widget());
}

}  // namespace krumple::app
