#include <QApplication>

#include "icons.h"
#include "krumple_app.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Krumple"));
    QApplication::setDesktopFileName(QStringLiteral("krumple"));
    QApplication::setWindowIcon(krumple::app::icons::applicationIcon());

    krumple::app::KrumpleApp app;
    app.show();
    return QApplication::exec();
}
