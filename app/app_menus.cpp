#include "app_menus.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenuBar>
#include <QSplitter>

#include <algorithm>

#include "store.h"

namespace krumple::app {

MenuActions addMenus(QMainWindow& window, Store& store, QSplitter& panes, std::function<void()> resetPanes) {
    MenuActions actions;
    QMenu* file = window.menuBar()->addMenu(QCoreApplication::translate("AppMenus", "&File"));
    QAction* add = file->addAction(QCoreApplication::translate("AppMenus", "Add Images\u2026"));
    add->setObjectName(QStringLiteral("addImagesAction"));
    add->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QObject::connect(add, &QAction::triggered, &window, [&store] { store.openPanel(); });
    actions.convert = file->addAction(QCoreApplication::translate("AppMenus", "Convert"));
    actions.convert->setObjectName(QStringLiteral("convertAction"));
    actions.convert->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    QObject::connect(actions.convert, &QAction::triggered, &window, [&store] { store.startConversion(); });
    actions.cancel = file->addAction(QCoreApplication::translate("AppMenus", "Stop Converting"));
    actions.cancel->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Period));
    QObject::connect(actions.cancel, &QAction::triggered, &window, [&store] { store.cancelRunTask(); });
    file->addSeparator();
    QAction* quit = file->addAction(QCoreApplication::translate("AppMenus", "&Quit"));
    quit->setShortcut(QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);
    QObject::connect(quit, &QAction::triggered, &window, &QMainWindow::close);

    QMenu* edit = window.menuBar()->addMenu(QCoreApplication::translate("AppMenus", "&Edit"));
    actions.remove = edit->addAction(QCoreApplication::translate("AppMenus", "Delete"));
    actions.remove->setObjectName(QStringLiteral("deleteAction"));
    actions.remove->setShortcut(QKeySequence::Delete);
    QObject::connect(actions.remove, &QAction::triggered, &window, [&store] { store.removeSelected(); });
    actions.clear = edit->addAction(QCoreApplication::translate("AppMenus", "Clear List"));
    actions.clear->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete));
    QObject::connect(actions.clear, &QAction::triggered, &window, [&store] { store.clear(); });

    // The divider by a tenth of the window's width a press, as dragging it would.
    QMenu* view = window.menuBar()->addMenu(QCoreApplication::translate("AppMenus", "&View"));
    const auto moveDivider = [&panes](int direction) {
        QList<int> sizes = panes.sizes();
        if (sizes.size() != 2) return;
        const int by = direction * std::max(1, panes.width() / 10);
        panes.setSizes({sizes[0] + by, sizes[1] - by});
    };
    QAction* wider = view->addAction(QCoreApplication::translate("AppMenus", "Wider List"));
    wider->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_BracketRight));
    QObject::connect(wider, &QAction::triggered, &window, [moveDivider] { moveDivider(1); });
    QAction* narrower = view->addAction(QCoreApplication::translate("AppMenus", "Narrower List"));
    narrower->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_BracketLeft));
    QObject::connect(narrower, &QAction::triggered, &window, [moveDivider] { moveDivider(-1); });
    QAction* reset = view->addAction(QCoreApplication::translate("AppMenus", "Reset Panes"));
    reset->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    QObject::connect(reset, &QAction::triggered, &window, std::move(resetPanes));
    return actions;
}

}  // namespace krumple::app
