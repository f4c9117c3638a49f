// The shipped translations: each leaves no text of the window, of the engine's
// failures and distance words, or of its counts in English, and counts right;
// English counts right too, and is what a language without a translation gets.

#include "app_fixture.h"
#include "convert_error.h"
#include "detail_text.h"
#include "failure_text.h"
#include "footer_texts.h"
#include "krumple_app.h"

using namespace krumple;
using namespace krumple::app;

namespace {

// The texts in words: the window's, hidden ones included; the engine's; and
// last, the counted ones for one file and for two.
QStringList texts(AppFixture& f, const std::vector<std::filesystem::path>& two) {
    QStringList texts;
    KrumpleApp app;
    for (QWidget* w : app.window().findChildren<QWidget*>()) {
        for (const char* name : {"text", "toolTip", "accessibleName"}) texts << w->property(name).toString();
        if (auto* combo = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
        if (auto* picker = qobject_cast<SegmentedPicker*>(w)) texts << picker->labels();
    }
    for (QAction* action : app.window().findChildren<QAction*>()) texts << action->text();
    for (auto e : {ConvertError::unreadable, ConvertError::decodeFailed, ConvertError::encodeFailed, ConvertError::cancelled})
        texts << failureText(e);
    texts << failureText(Failure::tooLarge(50'000, 61'234)) << failureText(Failure{});
    for (double distance : {0.4, 1.5, 2.5, 4.0, 7.0}) texts << distanceText(distance);
    texts.removeIf([](const QString& text) { return !text.contains(QRegularExpression(QStringLiteral("\\p{L}"))); });
    f.store().clear();
    for (const auto& path : two)
        if (f.addAndWait({path}))
            texts << totals(f.store()).headline.section(QStringLiteral(" \u00B7 "), 0, 0)
                  << convertLabel(f.store().items().size());
    return texts;
}

}  // namespace

class TranslationsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyLanguageTranslatesEverythingAndCountsRight() {
        AppFixture f;
        const auto two = f.images(2);
        const QStringList english = texts(f, two);
        QCOMPARE(english.last(4), (QStringList{"1 file", "Convert 1 Image", "2 files", "Convert 2 Images"}));
        QCOMPARE(Translations(QLocale(QLocale::Spanish), QStringLiteral(KRUMPLE_TRANSLATIONS_DIR)).language(), QString("en"));
        // Words German or French share with English.
        const QStringList same{"HEIC", "JPEG", "PNG", "AVIF", "JPEG XL", "WebP", "Format", "Auto", "Original", "px", "Loupe"};
        for (const QLocale& locale : {QLocale(QLocale::German), QLocale(QLocale::French)}) {
            const Translations translations(locale, QStringLiteral(KRUMPLE_TRANSLATIONS_DIR));
            QCOMPARE(translations.language().left(2), locale.name().left(2));
            const QStringList shown = texts(f, two);
            QCOMPARE(shown.size(), english.size());
            for (qsizetype i = 0; i < shown.size(); ++i)
                if (!same.contains(shown[i])) QVERIFY2(shown[i] != english[i], qPrintable(shown[i]));
            // One is not two with another figure.
            for (qsizetype n : {2, 1}) QCOMPARE_NE(QString(shown.last(n)[0]).replace('2', '1'), shown.last(n + 2)[0]);
            // Qt's own, as the standard dialogs' buttons show them.
            QVERIFY(!QDialogButtonBox(QDialogButtonBox::Cancel).buttons().at(0)->text().contains("Cancel"));
        }
    }
};

QTEST_MAIN(TranslationsTest)
#include "translations_test.moc"
