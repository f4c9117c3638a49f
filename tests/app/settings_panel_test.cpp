// The settings panel: every control bound to its store field, the quality
// text, the width field's number format, the folder button, and the panel
// being locked while a batch runs.

#include <QCheckBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "app_fixture.h"
#include "segmented_picker.h"
#include "settings_panel.h"
#include "whole_number_field.h"

using namespace krumple;
using namespace krumple::app;
using krumple::app::testing::AppFixture;

namespace {

int segmentOf(OutputFormat format) {
    const auto& available = OutputFormat::available();
    const auto found = std::find(available.begin(), available.end(), format);
    return found == available.end() ? -1 : static_cast<int>(found - available.begin());
}

void pick(SegmentedPicker* picker, int index) {
    QTest::mouseClick(picker, Qt::LeftButton, {}, picker->segmentRect(index).center());
}

}  // namespace

class SettingsPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void qualityReadsAsAWholePercentOrLossless();
    void formatPickerAndQualitySliderFollowTheStore();
    void widthFieldHasNoSeparatorsAndKeepsWhatWasTyped();
    void togglesAreBound();
    void folderButtonNamesTheChosenFolder();
    void wholePanelIsLockedDuringABatch();
};

void SettingsPanelTest::qualityReadsAsAWholePercentOrLossless() {
    QCOMPARE(SettingsPanel::qualityLabel(OutputFormat::png, 0.8), QString("Lossless"));
    QCOMPARE(SettingsPanel::qualityLabel(OutputFormat::jpeg, 0.125), QString("13%"));
    QCOMPARE(SettingsPanel::qualityLabel(OutputFormat::webp, 0.625), QString("63%"));
    QCOMPARE(SettingsPanel::qualityLabel(OutputFormat::heic, 0.8), QString("80%"));
    QCOMPARE(SettingsPanel::qualityLabel(OutputFormat::heic, 0.05), QString("5%"));
    QCOMPARE(SettingsPanel::qualityLabel(OutputFormat::heic, 1.0), QString("100%"));
}

void SettingsPanelTest::formatPickerAndQualitySliderFollowTheStore() {
    AppFixture fixture;
    Store& store = fixture.store();
    SettingsPanel panel(store);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    if (segmentOf(OutputFormat::png) < 0 || segmentOf(OutputFormat::jpeg) < 0) QSKIP("needs PNG and JPEG encoders");

    QStringList labels;
    for (const OutputFormat format : OutputFormat::available())
        labels << QString::fromUtf8(format.label().data(), static_cast<qsizetype>(format.label().size()));
    QCOMPARE(panel.formatPicker()->labels(), labels);
    QCOMPARE(panel.formatPicker()->currentIndex(), segmentOf(OutputFormat::jpeg));

    store.setQuality(0.625);
    QCOMPARE(panel.qualityText()->text(), QString("63%"));
    QCOMPARE(panel.qualitySlider()->value(), 6250);

    pick(panel.formatPicker(), segmentOf(OutputFormat::png));
    QCOMPARE(store.format(), OutputFormat(OutputFormat::png));
    QVERIFY(!panel.qualitySlider()->isEnabled());
    QCOMPARE(panel.qualityText()->text(), QString("Lossless"));

    pick(panel.formatPicker(), segmentOf(OutputFormat::jpeg));
    QVERIFY(panel.qualitySlider()->isEnabled());
    QCOMPARE(panel.qualityText()->text(), QString("63%"));
    QCOMPARE(store.quality(), 0.625);

    // Moving the slider changes the store's quality continuously.
    panel.qualitySlider()->setFocus();
    QTest::keyClick(panel.qualitySlider(), Qt::Key_Right);
    QVERIFY(store.quality() > 0.625 && store.quality() < 0.64);
    QTest::keyClick(panel.qualitySlider(), Qt::Key_Home);
    QCOMPARE(store.quality(), 0.05);
    QCOMPARE(panel.qualityText()->text(), QString("5%"));
}

void SettingsPanelTest::widthFieldHasNoSeparatorsAndKeepsWhatWasTyped() {
    // A locale that groups thousands with a dot.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    AppFixture fixture;
    Store& store = fixture.store();
    SettingsPanel panel(store);
    panel.show();
    WholeNumberField* field = panel.maxWidthField();

    QCOMPARE(field->text(), QString("2048"));
    QVERIFY(!field->isEnabled());

    QTest::mouseClick(panel.limitWidthToggle(), Qt::LeftButton);
    QVERIFY(store.limitWidth());
    QVERIFY(field->isEnabled());

    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "10");
    QCOMPARE(store.maxWidth(), 10);  // the lower bound is the batch's business
    QCOMPARE(field->text(), QString("10"));
    QTest::keyClicks(field, "000");
    QCOMPARE(store.maxWidth(), 10000);
    QCOMPARE(field->text(), QString("10000"));

    // Left empty, the field shows the width in force again.
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QCOMPARE(store.maxWidth(), 10000);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(field->text(), QString("10000"));

    store.setMaxWidth(123456);
    QCOMPARE(field->text(), QString("123456"));
    QLocale::setDefault(previous);
}

void SettingsPanelTest::togglesAreBound() {
    AppFixture fixture;
    Store& store = fixture.store();
    SettingsPanel panel(store);
    panel.show();

    QTest::mouseClick(panel.stripMetadataToggle(), Qt::LeftButton);
    QVERIFY(store.stripMetadata());
    store.setStripMetadata(false);
    QVERIFY(!panel.stripMetadataToggle()->isChecked());
    store.setLimitWidth(true);
    QVERIFY(panel.limitWidthToggle()->isChecked());
}

void SettingsPanelTest::folderButtonNamesTheChosenFolder() {
    AppFixture fixture;
    Store& store = fixture.store();
    SettingsPanel panel(store);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QPushButton* button = panel.folderButton();
    QVERIFY(!button->isVisible());

    pick(panel.outputModePicker(), 1);
    QCOMPARE(store.outputMode(), OutputMode::folder);
    QVERIFY(button->isVisible());
    QCOMPARE(button->text(), QString("Choose\u2026"));
    QCOMPARE(button->toolTip(), QString("Choose an output folder"));

    // Cancelling the chooser changes nothing.
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(fixture.panels.folderAsked, 1);
    QCOMPARE(button->text(), QString("Choose\u2026"));

    const std::filesystem::path exports = fixture.folder() / "Exports";
    std::filesystem::create_directories(exports);
    fixture.panels.folder = exports;
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), QString("Exports"));
    QCOMPARE(button->toolTip(), QString::fromStdString(exports.string()));

    pick(panel.outputModePicker(), 0);
    QCOMPARE(store.outputMode(), OutputMode::alongside);
    QVERIFY(!button->isVisible());
    QCOMPARE(store.outputFolder(), std::optional<std::filesystem::path>(exports));
}

void SettingsPanelTest::wholePanelIsLockedDuringABatch() {
    AppFixture fixture;
    Store& store = fixture.store();
    SettingsPanel panel(store);
    panel.show();
    store.setOutputMode(OutputMode::folder);
    store.setOutputFolder(fixture.folder());
    QVERIFY(fixture.addAndWait(fixture.writeImages(3)));

    store.startConversion();
    QVERIFY(store.isRunning());
    for (QWidget* control : std::initializer_list<QWidget*>{panel.formatPicker(), panel.qualitySlider(),
                                                            panel.limitWidthToggle(), panel.stripMetadataToggle(),
                                                            panel.outputModePicker(), panel.folderButton()})
        QVERIFY(!control->isEnabled());
    QVERIFY(fixture.waitForBatchEnd());
    for (QWidget* control : std::initializer_list<QWidget*>{panel.formatPicker(), panel.qualitySlider(),
                                                            panel.limitWidthToggle(), panel.stripMetadataToggle(),
                                                            panel.outputModePicker(), panel.folderButton()})
        QVERIFY(control->isEnabled());
}

QTEST_MAIN(SettingsPanelTest)
#include "settings_panel_test.moc"
