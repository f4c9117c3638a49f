#include <filesystem>
#include <vector>

#include <QApplication>

#include "icons.h"
#include "krumple_app.h"
#include "store.h"
#include "translations.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Krumple"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.krumple.krumple"));
    QApplication::setWindowIcon(krumple::app::icons::applicationIcon());
    // The user's languages, LANGUAGE's list first.
    const krumple::app::Translations translations(QLocale(), krumple::app::translationsFolder());

    krumple::app::KrumpleApp app;
    app.show();
    // Files and folders named on the command line (as "Open With" passes
    // them) are added like a drop. Raw argv keeps names that aren't UTF-8.
    std::vector<std::filesystem::path> paths;
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != '-') paths.emplace_back(argv[i]);
    if (!paths.empty()) app.store().add(std::move(paths));
    return QApplication::exec();
}
