#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace krumple::app {

QString translationsFolder() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../share/krumple/translations");
}

Translations::Translations(const QLocale& locale, const QString& folder) {
    // Installed first, so searched last.
    if (english_.load(QStringLiteral("krumple_en"), folder)) QCoreApplication::installTranslator(&english_);
    if (own_.load(locale, QStringLiteral("krumple"), QStringLiteral("_"), folder)) {
        QCoreApplication::installTranslator(&own_);
        language_ = own_.language();
        // Qt's own only with ours, so a dialog never speaks another language than the window.
        if (qt_.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(&qt_);
    }
}

Translations::~Translations() {
    QCoreApplication::removeTranslator(&qt_);
    QCoreApplication::removeTranslator(&own_);
    QCoreApplication::removeTranslator(&english_);
}

}  // namespace krumple::app
