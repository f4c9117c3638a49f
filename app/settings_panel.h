#pragma once

#include <QPointer>
#include <QWidget>

#include "elided_label.h"
#include "store_watch.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace krumple::app {

class SegmentedPicker;
class WholeNumberField;

// The top of the left pane: format, quality, size limit, metadata and where
// outputs go, each bound to the store's field. Disabled while a batch runs.
class SettingsPanel : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPanel(Store& store, QWidget* parent = nullptr);

    // The slider works in ten-thousandths of the quality scale.
    static constexpr int sliderScale = 10000;

    SegmentedPicker* formatPicker() const { return format_; }
    QComboBox* qualityModePicker() const { return qualityMode_; }  // fixed, auto, at most: QualityMode's order
    QSlider* qualitySlider() const { return quality_; }
    WholeNumberField* maxFileSizeField() const { return maxFileSize_; }  // kB
    QCheckBox* capsAutomaticToggle() const { return capsAutomatic_; }  // with Auto: at most the ceiling's kB
    WholeNumberField* ceilingSizeField() const { return ceilingSize_; }  // kB, the same size as maxFileSizeField's
    ElidedLabel* qualityText() const { return qualityText_; }
    QCheckBox* limitWidthToggle() const { return limitWidth_; }
    WholeNumberField* maxWidthField() const { return maxWidth_; }
    QComboBox* limitedSidePicker() const { return limitedSide_; }
    QCheckBox* stripMetadataToggle() const { return stripMetadata_; }
    QCheckBox* keepDatesToggle() const { return keepDates_; }
    QCheckBox* onlySmallerToggle() const { return onlySmaller_; }
    QCheckBox* keepStructureToggle() const { return keepStructure_; }
    SegmentedPicker* outputModePicker() const { return outputMode_; }
    QPushButton* folderButton() const { return folder_; }

    // "Lossless" for a lossless format, else the quality as a whole percentage.
    static QString qualityLabel(OutputFormat format, double quality);
    // What an automatic quality's target looks like, from "good" to "visually lossless".
    static QString targetLabel(double distance);
    // The slider's position for a target distance, and back.
    static int targetPosition(double distance);
    static double targetAt(int position);

private:
    void refresh();

    Store& store_;
    QPointer<QWidget> focusBeforeRun_;
    SegmentedPicker* format_;
    QComboBox* qualityMode_;
    QSlider* quality_;
    WholeNumberField* maxFileSize_;
    QLabel* kilobytes_;
    ElidedLabel* qualityText_;
    QWidget* ceiling_;  // the line under Quality with Auto: its ceiling
    QCheckBox* capsAutomatic_;
    WholeNumberField* ceilingSize_;
    QCheckBox* limitWidth_;
    QComboBox* limitedSide_;  // width, height, longer side: in LimitedSide's order
    WholeNumberField* maxWidth_;
    QCheckBox* stripMetadata_;
    QCheckBox* keepDates_;
    QCheckBox* onlySmaller_;
    QCheckBox* keepStructure_;
    SegmentedPicker* outputMode_;
    QPushButton* folder_;
    StoreWatch watch_;
};

}  // namespace krumple::app
