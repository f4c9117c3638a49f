#include "app_menus.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenuBar>

#include "store.h"

namespace krumple::app {

QAction* addMenus(QMainWindow& window, Store& store) {
    QMenu* file = window.menuBar()->addMenu(QCoreApplication::translate("AppMenus", "&File"));
    QAction* add = file->addAction(QCoreApplication::translate("AppMenus", "Add Images\u2026"));
    add->setObjectName(QStringLiteral("addImagesAction"));
    add->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QObject::connect(add, &QAction::triggered, &window, [&store] { store.openPanel(); });
    file->addSeparator();
    QAction* quit = file->addAction(QCoreApplication::translate("AppMenus", "&Quit"));
    quit->setShortcut(QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);
    QObject::connect(quit, &QAction::triggered, &window, &QMainWindow::close);

    QMenu* edit = window.menuBar()->addMenu(QCoreApplication::translate("AppMenus", "&Edit"));
    QAction* remove = edit->addAction(QCoreApplication::translate("AppMenus", "Delete"));
    remove->setObjectName(QStringLiteral("deleteAction"));
    remove->setShortcut(QKeySequence::Delete);
    QObject::connect(remove, &QAction::triggered, &window, [&store] { store.removeSelected(); });
    return remove;
}

}  // namespace krumple::app
