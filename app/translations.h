#pragma once

#include <QLocale>
#include <QString>
#include <QTranslator>

namespace krumple::app {

// Where the .qm files are: share/krumple/translations beside the executable's
// bin/ folder, which holds both when installed and in the build tree.
QString translationsFolder();

// The window's texts in `locale`'s first language that has a translation, for
// as long as this lives: Krumple's own and Qt's (the standard dialogs), over
// the English plural forms ("1 file", "2 files") that every language falls
// back to.
class Translations {
public:
    Translations(const QLocale& locale, const QString& folder);
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    // The language of Krumple's own texts: "de", "fr", or "en" when none fits.
    QString language() const { return language_; }

private:
    QTranslator english_;
    QTranslator own_;
    QTranslator qt_;
    QString language_ = QStringLiteral("en");
};

}  // namespace krumple::app
