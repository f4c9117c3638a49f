#include "settings_panel.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "accessible_controls.h"
#include "look.h"
#include "paths.h"
#include "segmented_picker.h"
#include "whole_number_field.h"

namespace krumple::app {
namespace {

// Widths in average characters, so that they follow the font.
constexpr int captionChars = 10;
constexpr int folderTextChars = 18;  // the Save to row fits the narrowest panel
constexpr int numberChars = 9;

int chars(const QWidget* widget, int count) { return count * widget->fontMetrics().averageCharWidth(); }

// A row's caption, naming `buddy` for assistive technology (which reads a
// combo box's label from this relation on Linux).
QLabel* caption(const QString& text, QWidget* parent, QWidget* buddy = nullptr) {
    auto* label = new QLabel(text, parent);
    label->setMinimumWidth(chars(label, captionChars));
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    if (buddy) label->setBuddy(buddy);
    return label;
}

// The slider's position as the percentage assistive technology reads.
int percentAt(int position) { return static_cast<int>(std::lround(100.0 * position / SettingsPanel::sliderScale)); }

void dim(QWidget* label) { look::setForeground(label, look::secondary(label->palette())); }

QHBoxLayout* row(QVBoxLayout* rows) {
    auto* line = new QHBoxLayout;
    line->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    rows->addLayout(line);
    return line;
}

}  // namespace

QString SettingsPanel::qualityLabel(OutputFormat format, double quality) {
    if (format.isLosslessAt(quality)) return tr("Lossless");
    // llround takes halves away from zero: 0.125 shows as 13%.
    return tr("%1%").arg(static_cast<qlonglong>(std::llround(quality * 100)));
}

QString SettingsPanel::targetLabel(double distance) {
    if (distance <= 1.05) return tr("visually lossless");
    if (distance <= 1.45) return tr("excellent");
    if (distance <= 2.2) return tr("very good");
    return tr("good");
}

int SettingsPanel::targetPosition(double distance) {
    const double along = (loosestTargetDistance - distance) / (loosestTargetDistance - strictestTargetDistance);
    const int lowest = static_cast<int>(0.05 * sliderScale);
    return std::clamp(lowest + static_cast<int>(std::lround(along * (sliderScale - lowest))), lowest, sliderScale);
}

double SettingsPanel::targetAt(int position) {
    const int lowest = static_cast<int>(0.05 * sliderScale);
    const double along = static_cast<double>(position - lowest) / (sliderScale - lowest);
    // Tenths: the label and the CLI speak of 1.6, not 1.5937.
    return std::round((loosestTargetDistance - along * (loosestTargetDistance - strictestTargetDistance)) * 10) / 10;
}

SettingsPanel::SettingsPanel(Store& store, QWidget* parent)
    : QWidget(parent),
      store_(store),
      format_(new SegmentedPicker(this)),
      qualityMode_(new QComboBox(this)),
      quality_(new QSlider(Qt::Horizontal, this)),
      maxFileSize_(new WholeNumberField(this)),
      kilobytes_(new QLabel(tr("kB"), this)),
      qualityText_(new ElidedLabel(Qt::ElideRight, Qt::AlignRight, this)),
      ceiling_(new QWidget(this)),
      capsAutomatic_(new QCheckBox(tr("At most"), ceiling_)),
      ceilingSize_(new WholeNumberField(ceiling_)),
      limitWidth_(new QCheckBox(tr("Max"), this)),
      limitedSide_(new QComboBox(this)),
      maxWidth_(new WholeNumberField(this)),
      stripMetadata_(new QCheckBox(tr("Strip metadata"), this)),
      keepDates_(new QCheckBox(tr("Keep dates"), this)),
      onlySmaller_(new QCheckBox(tr("Keep only smaller files"), this)),
      keepStructure_(new QCheckBox(tr("Keep folder structure"), this)),
      outputMode_(new SegmentedPicker(this)),
      folder_(new QPushButton(this)),
      watch_(store, [this](const StoreChange& change) {
          if (change.field != StoreField::items && change.field != StoreField::selection) refresh();
      }) {
    installAccessibleControls();
    // Set before anything asks the slider for its accessible interface, which is made once.
    quality_->setProperty("accessibleValue", 80);
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(12, 12, 12, 12);
    rows->setSpacing(12);

    QStringList formats;
    for (const OutputFormat format : OutputFormat::available())
        formats << QString::fromUtf8(format.label().data(), static_cast<qsizetype>(format.label().size()));
    format_->setLabels(formats);
    format_->setAccessibleName(tr("Format"));
    QHBoxLayout* formatRow = row(rows);
    formatRow->addWidget(caption(tr("Format"), this, format_));
    formatRow->addWidget(format_);
    connect(format_, &SegmentedPicker::picked, this,
            [this](int index) { store_.setFormat(OutputFormat::available().at(static_cast<std::size_t>(index))); });

    quality_->setRange(static_cast<int>(0.05 * sliderScale), sliderScale);
    quality_->setSingleStep(sliderScale / 100);
    quality_->setPageStep(sliderScale / 10);
    quality_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    qualityText_->setMinimumWidth(fontMetrics().horizontalAdvance(tr("visually lossless")) + chars(this, 1));
    quality_->setAccessibleName(tr("Quality"));
    qualityMode_->setAccessibleName(tr("Quality mode"));
    dim(qualityText_);
    qualityMode_->addItems({tr("Fixed"), tr("Auto"), tr("At most")});
    qualityMode_->setToolTip(tr("Fixed: one quality for every image. Auto: per image, the lowest quality that "
                                "looks as good as asked. At most: per image, the best quality within a file size."));
    capsAutomatic_->setToolTip(tr("Auto, but no file larger than this: a larger one gives way to the best quality "
                                  "that fits."));
    maxFileSize_->setFixedWidth(chars(this, numberChars));
    maxFileSize_->setAccessibleName(tr("Largest file size in kB"));
    dim(kilobytes_);
    QHBoxLayout* qualityRow = row(rows);
    qualityRow->addWidget(caption(tr("Quality"), this, qualityMode_));
    qualityRow->addWidget(qualityMode_);
    qualityRow->addWidget(quality_, 1);
    qualityRow->addWidget(qualityText_);
    qualityRow->addWidget(maxFileSize_);
    qualityRow->addWidget(kilobytes_);
    connect(qualityMode_, &QComboBox::currentIndexChanged, this,
            [this](int index) { store_.setQualityMode(static_cast<QualityMode>(std::clamp(index, 0, 2))); });
    connect(quality_, &QSlider::valueChanged, this, [this](int value) {
        quality_->setProperty("accessibleValue", percentAt(value));
        if (store_.qualityMode() == QualityMode::automatic)
            store_.setTargetDistance(targetAt(value));
        else
            store_.setQuality(static_cast<double>(value) / sliderScale);
    });
    // Beside Auto, a line below: the same size as a ceiling that can be turned on.
    auto* ceilingRow = new QHBoxLayout(ceiling_);
    ceilingRow->setContentsMargins(0, 0, 0, 0);
    ceilingRow->setSpacing(rows->spacing());
    ceilingRow->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ceilingRow->addWidget(caption(QString(), ceiling_));
    ceilingRow->addWidget(capsAutomatic_);
    ceilingRow->addWidget(ceilingSize_);
    auto* ceilingUnit = new QLabel(tr("kB"), ceiling_);
    dim(ceilingUnit);
    ceilingRow->addWidget(ceilingUnit);
    ceilingSize_->setFixedWidth(chars(this, numberChars));
    ceilingSize_->setAccessibleName(tr("Largest file size in kB"));
    capsAutomatic_->setAccessibleName(tr("At most a file size"));
    rows->addWidget(ceiling_);
    connect(capsAutomatic_, &QCheckBox::toggled, this, [this](bool on) { store_.setCapsAutomatic(on); });
    // The style's focus frame around a check box's label, drawn in the highlight:
    // darker, it stands out at 3:1 and more from the background.
    for (QCheckBox* box : {capsAutomatic_, limitWidth_, stripMetadata_, keepDates_, onlySmaller_, keepStructure_}) {
        QPalette pal = box->palette();
        pal.setColor(QPalette::Highlight, look::accent(pal).darker(160));
        box->setPalette(pal);
    }
    for (WholeNumberField* size : {maxFileSize_, ceilingSize_})
        connect(size, &WholeNumberField::valueEdited, this,
                [this](std::int64_t kilobytes) { store_.setMaxFileSize(std::max<std::int64_t>(kilobytes, 1) * 1000); });

    maxWidth_->setFixedWidth(chars(this, numberChars));
    maxWidth_->setAccessibleName(tr("Largest size in pixels"));
    limitWidth_->setAccessibleName(tr("Limit the size"));
    limitedSide_->setAccessibleName(tr("Limited side"));
    auto* px = new QLabel(tr("px"), this);
    dim(px);
    QHBoxLayout* sizeRow = row(rows);
    sizeRow->addWidget(caption(tr("Size"), this, limitedSide_));
    limitedSide_->addItems({tr("width"), tr("height"), tr("longer side")});
    // "Max [width] 2048 px" is one phrase, set closer than the row's parts, which
    // leaves Strip metadata room in longer languages.
    auto* limit = new QHBoxLayout;
    limit->setSpacing(6);
    limit->addWidget(limitWidth_);
    limit->addWidget(limitedSide_);
    limit->addWidget(maxWidth_);
    limit->addWidget(px);
    sizeRow->addLayout(limit);
    sizeRow->addStretch(1);
    sizeRow->addWidget(stripMetadata_);
    connect(limitWidth_, &QCheckBox::toggled, this, [this](bool on) { store_.setLimitWidth(on); });
    connect(limitedSide_, &QComboBox::currentIndexChanged, this,
            [this](int index) { store_.setLimitedSide(static_cast<LimitedSide>(std::clamp(index, 0, 2))); });
    connect(maxWidth_, &WholeNumberField::valueEdited, this, [this](std::int64_t value) { store_.setMaxWidth(value); });
    connect(stripMetadata_, &QCheckBox::toggled, this, [this](bool on) { store_.setStripMetadata(on); });
    keepDates_->setToolTip(tr("Give each output its original's modification and access times"));
    connect(keepDates_, &QCheckBox::toggled, this, [this](bool on) { store_.setKeepDates(on); });
    onlySmaller_->setToolTip(tr("When an output would not be smaller than its original, keep the original instead"));
    connect(onlySmaller_, &QCheckBox::toggled, this, [this](bool on) { store_.setOnlySmaller(on); });
    keepStructure_->setToolTip(tr("Recreate the dropped folders and their subfolders inside the output folder"));
    connect(keepStructure_, &QCheckBox::toggled, this, [this](bool on) { store_.setKeepStructure(on); });

    outputMode_->setLabels({tr("Next to originals"), tr("Folder")});
    outputMode_->setAccessibleName(tr("Save to"));
    outputMode_->setMinimumWidth(2 * std::max(fontMetrics().horizontalAdvance(tr("Next to originals")),
                                              fontMetrics().horizontalAdvance(tr("Folder"))) + chars(this, 4));
    folder_->setAccessibleName(tr("Output folder"));
    QHBoxLayout* saveRow = row(rows);
    saveRow->addWidget(caption(tr("Save to"), this, outputMode_));
    saveRow->addWidget(outputMode_);
    saveRow->addWidget(folder_);
    saveRow->addStretch(1);
    // Under the folder choice, an empty caption keeping it in the column.
    QHBoxLayout* structureRow = row(rows);
    structureRow->addWidget(caption(QString(), this));
    structureRow->addWidget(keepStructure_);
    structureRow->addStretch(1);
    QHBoxLayout* filesRow = row(rows);
    filesRow->addWidget(caption(tr("Files"), this));
    filesRow->addWidget(onlySmaller_);
    filesRow->addWidget(keepDates_);
    filesRow->addStretch(1);
    connect(outputMode_, &SegmentedPicker::picked, this, [this](int index) {
        store_.setOutputMode(index == 0 ? OutputMode::alongside : OutputMode::folder);
    });
    connect(folder_, &QPushButton::clicked, this, [this] { store_.chooseOutputFolder(); });

    // Tab goes row by row, left to right, as the panel reads.
    const QList<QWidget*> order{format_,        qualityMode_, quality_,      maxFileSize_,   capsAutomatic_,
                                ceilingSize_,   limitWidth_,  limitedSide_,  maxWidth_,      stripMetadata_,
                                outputMode_,    folder_,      keepStructure_, onlySmaller_,  keepDates_};
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

    refresh();
}

void SettingsPanel::refresh() {
    // Disabled while a batch runs, which takes focus away: it comes back after.
    const bool running = store_.isRunning();
    if (running && isEnabled() && QApplication::focusWidget() && isAncestorOf(QApplication::focusWidget()))
        focusBeforeRun_ = QApplication::focusWidget();
    setEnabled(!running);
    if (!running && focusBeforeRun_) {
        focusBeforeRun_->setFocus(Qt::OtherFocusReason);
        focusBeforeRun_.clear();
    }

    const auto& available = OutputFormat::available();
    const auto found = std::find(available.begin(), available.end(), store_.format());
    format_->setCurrentIndex(found == available.end() ? -1 : static_cast<int>(found - available.begin()));

    const QualityMode mode = store_.qualityMode();
    {
        const QSignalBlocker quiet(qualityMode_);
        qualityMode_->setCurrentIndex(static_cast<int>(mode));
    }
    const bool automatic = mode == QualityMode::automatic;
    const int position = automatic ? targetPosition(store_.targetDistance())
                                   : static_cast<int>(std::lround(store_.quality() * sliderScale));
    if (quality_->value() != position) {
        const QSignalBlocker quiet(quality_);
        quality_->setValue(position);
    }
    // PNG has no quality to set or search.
    const bool lossless = store_.format().isLossless();
    quality_->setEnabled(!lossless);
    qualityMode_->setEnabled(!lossless);
    const bool sized = mode == QualityMode::fileSize && !lossless;
    quality_->setVisible(!sized);
    qualityText_->setVisible(!sized);
    maxFileSize_->setVisible(sized);
    kilobytes_->setVisible(sized);
    maxFileSize_->setValue(store_.maxFileSize() / 1000);
    ceiling_->setVisible(automatic && !lossless);
    {
        const QSignalBlocker quiet(capsAutomatic_);
        capsAutomatic_->setChecked(store_.capsAutomatic());
    }
    ceilingSize_->setEnabled(store_.capsAutomatic());
    ceilingSize_->setValue(store_.maxFileSize() / 1000);
    qualityText_->setText(automatic && !lossless ? targetLabel(store_.targetDistance())
                                                 : qualityLabel(store_.format(), store_.quality()));
    qualityText_->setToolTip(automatic ? tr("Largest Butteraugli distance: %1").arg(store_.targetDistance(), 0, 'f', 1)
                                       : QString());
    // Read as a percentage with the label beside it, not as the raw position.
    quality_->setProperty("accessibleValue", percentAt(quality_->value()));
    quality_->setProperty("accessibleMinimum", 5);
    quality_->setProperty("accessibleMaximum", 100);
    quality_->setProperty("accessibleValueText", qualityText_->text());

    {
        const QSignalBlocker quiet(limitWidth_);
        limitWidth_->setChecked(store_.limitWidth());
    }
    {
        const QSignalBlocker quiet(limitedSide_);
        limitedSide_->setCurrentIndex(static_cast<int>(store_.limitedSide()));
    }
    limitedSide_->setEnabled(store_.limitWidth());
    maxWidth_->setValue(store_.maxWidth());
    maxWidth_->setEnabled(store_.limitWidth());
    {
        const QSignalBlocker quiet(stripMetadata_);
        stripMetadata_->setChecked(store_.stripMetadata());
        const QSignalBlocker quietDates(keepDates_);
        keepDates_->setChecked(store_.keepDates());
        const QSignalBlocker quietSmaller(onlySmaller_);
        onlySmaller_->setChecked(store_.onlySmaller());
        const QSignalBlocker quietStructure(keepStructure_);
        keepStructure_->setChecked(store_.keepStructure());
    }

    const bool folderMode = store_.outputMode() == OutputMode::folder;
    outputMode_->setCurrentIndex(folderMode ? 1 : 0);
    folder_->setVisible(folderMode);
    keepStructure_->setEnabled(folderMode);
    if (const auto& chosen = store_.outputFolder()) {
        const QString name = displayName(chosen->filename().empty() ? chosen->parent_path() : *chosen);
        const QString shown = folder_->fontMetrics().elidedText(name.isEmpty() ? displayPath(*chosen) : name,
                                                                Qt::ElideMiddle, chars(this, folderTextChars));
        folder_->setText(QString(shown).replace(QLatin1Char('&'), QStringLiteral("&&")));  // no mnemonics
        folder_->setToolTip(displayPath(*chosen));
    } else {
        folder_->setText(tr("Choose\u2026"));
        folder_->setToolTip(tr("Choose an output folder"));
    }
}

}  // namespace krumple::app
