// The settings panel: each control bound to its store field, the quality
// text, the width field's number format and the folder button. The panel
// being locked during a batch is in main_window_test.

#include "app_fixture.h"

using namespace krumple;
using namespace krumple::app;

namespace {

// Clicks the segment labelled `label`; false when there is none.
bool pick(SegmentedPicker* picker, const QString& label) {
    const int index = int(picker->labels().indexOf(label));
    if (index >= 0) QTest::mouseClick(picker, Qt::LeftButton, {}, picker->segmentRect(index).center());
    return index >= 0;
}

// A panel over the fixture's store, shown.
struct Shown : AppFixture {
    SettingsPanel panel{store()};
    Shown() { panel.show(); }
};

}  // namespace

class SettingsPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A locale that groups thousands with a dot.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void formatQualityWidthAndMetadataReachTheStore() {
        Shown s;
        Store& store = s.store();
        SettingsPanel& panel = s.panel;
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QCOMPARE(panel.formatPicker()->currentIndex(), panel.formatPicker()->labels().indexOf("JPEG"));
        // The quality text, and whether the slider can be moved.
        const auto quality = [&] {
            return panel.qualityText()->text() + (panel.qualitySlider()->isEnabled() ? "" : " (off)");
        };
        store.setQuality(0.625);
        QCOMPARE(quality(), QString("63%"));  // a whole percent, half up
        QVERIFY(pick(panel.formatPicker(), "PNG"));
        QCOMPARE(store.format(), OutputFormat(OutputFormat::png));
        QCOMPARE(quality(), QString("Lossless (off)"));
        QVERIFY(pick(panel.formatPicker(), "JPEG"));
        QCOMPARE(quality(), QString("63%"));
        // The slider moves the store's quality continuously, from where the store has it.
        panel.qualitySlider()->setFocus();
        QTest::keyClick(panel.qualitySlider(), Qt::Key_Right);
        QVERIFY(store.quality() > 0.625 && store.quality() < 0.64);
        QTest::keyClick(panel.qualitySlider(), Qt::Key_Home);
        QCOMPARE(store.quality(), 0.05);
        QCOMPARE(quality(), QString("5%"));
        // At 100 %, JPEG XL and WebP write lossless files; the slider still moves.
        QTest::keyClick(panel.qualitySlider(), Qt::Key_End);
        QCOMPARE(quality(), QString("100%"));
        for (const char* lossless : {"JPEG XL", "WebP"}) {
            QVERIFY(pick(panel.formatPicker(), lossless));
            QCOMPARE(quality(), QString("Lossless"));
        }
        QVERIFY(pick(panel.formatPicker(), "HEIC"));
        QCOMPARE(quality(), QString("100%"));
        QVERIFY(pick(panel.formatPicker(), "JPEG"));
        QTest::mouseClick(panel.stripMetadataToggle(), Qt::LeftButton);
        QVERIFY(store.stripMetadata());
        // Auto: the slider sets the target, from good to visually lossless;
        // At most: a size in kB instead of the slider.
        QComboBox* mode = panel.qualityModePicker();
        QCOMPARE(mode->currentText(), QString("Fixed"));
        mode->setCurrentIndex(1);
        QCOMPARE(store.qualityMode(), QualityMode::automatic);
        QCOMPARE(quality(), QString("very good"));  // the default target, 1.6
        QTest::keyClick(panel.qualitySlider(), Qt::Key_End);
        QCOMPARE(store.targetDistance(), 1.0);
        QCOMPARE(quality(), QString("visually lossless"));
        QTest::keyClick(panel.qualitySlider(), Qt::Key_Home);
        QCOMPARE(store.targetDistance(), 3.0);
        QCOMPARE(quality(), QString("good"));
        QCOMPARE(store.quality(), 1.0);  // the fixed quality stays as it was
        mode->setCurrentIndex(2);
        QVERIFY(!panel.qualitySlider()->isVisible() && panel.maxFileSizeField()->isVisible());
        panel.maxFileSizeField()->setFocus();
        panel.maxFileSizeField()->selectAll();
        QTest::keyClicks(panel.maxFileSizeField(), "250");
        QCOMPARE(store.maxFileSize(), 250'000);
        QCOMPARE(store.settingsSnapshot().maxBytes, std::optional<std::int64_t>(250'000));
        // Auto under that size: the size on a line below, off until asked for.
        mode->setCurrentIndex(1);
        QVERIFY(panel.qualitySlider()->isVisible() && !panel.ceilingSizeField()->isEnabled());
        QCOMPARE(panel.ceilingSizeField()->value(), 250);
        QVERIFY(!store.settingsSnapshot().maxBytes);
        panel.capsAutomaticToggle()->click();
        QVERIFY(panel.ceilingSizeField()->isEnabled());
        QCOMPARE(store.settingsSnapshot().maxBytes, std::optional<std::int64_t>(250'000));
        QVERIFY(store.settingsSnapshot().targetDistance);
        mode->setCurrentIndex(0);
        QVERIFY(panel.qualitySlider()->isVisible() && !panel.capsAutomaticToggle()->isVisible());
        QVERIFY(!store.settingsSnapshot().maxBytes);

        // The file choices start off and each sets its own field.
        for (QCheckBox* toggle : {panel.keepDatesToggle(), panel.onlySmallerToggle()}) {
            QVERIFY(!toggle->isChecked());
            QTest::mouseClick(toggle, Qt::LeftButton);
        }
        QVERIFY(store.keepDates() && store.onlySmaller() && !store.keepStructure());

        WholeNumberField* field = panel.maxWidthField();
        QCOMPARE(field->text(), QString("2048"));
        QVERIFY(!field->isEnabled());
        QVERIFY(!panel.limitedSidePicker()->isEnabled());
        QTest::mouseClick(panel.limitWidthToggle(), Qt::LeftButton);
        QVERIFY(store.limitWidth() && field->isEnabled() && panel.limitedSidePicker()->isEnabled());
        // The limit holds to the side picked: width, height or the longer one.
        panel.limitedSidePicker()->setCurrentIndex(2);
        QCOMPARE(store.limitedSide(), LimitedSide::longer);
        store.setLimitedSide(LimitedSide::height);
        QCOMPARE(panel.limitedSidePicker()->currentText(), QString("height"));
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, "10000");  // no bound while typing: that is the batch's business
        QCOMPARE(store.maxWidth(), 10000);
        QCOMPARE(field->text(), QString("10000"));
        // Left empty, the field shows the width in force again.
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(store.maxWidth(), 10000);
        QCOMPARE(field->text(), QString("10000"));
    }

    void folderButtonNamesTheChosenFolder() {
        Shown s;
        Store& store = s.store();
        QVERIFY(QTest::qWaitForWindowExposed(&s.panel));
        QPushButton* button = s.panel.folderButton();
        // The button shown, with its text and tooltip.
        const auto shown = [&] {
            return QStringList{button->isVisible() ? "shown" : "hidden", button->text(), button->toolTip()};
        };
        const QStringList choose{"shown", "Choose\u2026", "Choose an output folder"};
        QCOMPARE(shown().first(), QString("hidden"));
        // Keeping the structure belongs to folder mode.
        QCheckBox* structure = s.panel.keepStructureToggle();
        QVERIFY(!structure->isEnabled());
        QVERIFY(pick(s.panel.outputModePicker(), "Folder"));
        QCOMPARE(store.outputMode(), OutputMode::folder);
        QCOMPARE(shown(), choose);
        QVERIFY(structure->isEnabled() && !structure->isChecked());
        QTest::mouseClick(structure, Qt::LeftButton);
        QVERIFY(store.keepStructure());
        QTest::mouseClick(button, Qt::LeftButton);  // and cancelled: nothing changes
        QCOMPARE(s.panels.folderAsked, 1);
        QCOMPARE(shown(), choose);

        const std::filesystem::path exports = s.folder() / "Exports";
        std::filesystem::create_directories(exports);
        s.panels.folder = exports;
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(shown(), (QStringList{"shown", "Exports", QString::fromStdString(exports.string())}));
        QVERIFY(pick(s.panel.outputModePicker(), "Next to originals"));
        QCOMPARE(store.outputMode(), OutputMode::alongside);
        QCOMPARE(shown().first(), QString("hidden"));
        QCOMPARE(store.outputFolder(), std::optional<std::filesystem::path>(exports));
    }
};

QTEST_MAIN(SettingsPanelTest)
#include "settings_panel_test.moc"
