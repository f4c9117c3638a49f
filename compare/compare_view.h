#pragma once

// The before/after view of one item: its original and converted images side
// by side, with one loupe that follows the pointer over both.
//
// The window creates one CompareView and keeps it for the life of its right
// pane, calling setItem() with the selected item whenever the items or the
// selection change, and setItem(std::nullopt) when nothing is selected (while
// it shows its own placeholder instead). Keeping the same view is what keeps
// the zoom and lets the original image be reused.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <utility>

#include <QWidget>

#include "compare_geometry.h"
#include "difference_image.h"
#include "display_loads.h"
#include "image_item.h"

class QAbstractButton;

namespace krumple {

class ComparePane;
class ElidedLabel;
class StatusPlaceholder;
class WorkerThread;
class ZoomControl;

class CompareView : public QWidget {
    Q_OBJECT
public:
    // Measures `item`'s output against its original away from the calling
    // thread, and later calls `deliver` on it; not after `stop` is requested.
    using Deliver = std::function<void(std::optional<MeasuredDifference>)>;
    using StartMeasure = std::function<void(const ImageItem& item, std::stop_token stop, Deliver deliver)>;

    // Decodes and measures on worker threads of its own.
    explicit CompareView(QWidget* parent = nullptr);
    // Loads and measures through `start` and `measure` instead (tests drive
    // them by hand); without `measure` nothing is measured.
    explicit CompareView(DisplayLoads::StartLoad start, StartMeasure measure = {}, QWidget* parent = nullptr);
    ~CompareView() override;

    // The item to compare. Loads start when its id, revision or completion
    // differ from the last; any other change only updates the texts. Without
    // an item the view forgets its images and zoom, like a new one.
    void setItem(std::optional<ImageItem> item);
    const std::optional<ImageItem>& item() const { return item_; }

    double zoom() const { return zoom_; }
    void setZoom(double zoom);
    const std::optional<geom::Point>& hover() const { return hover_; }
    void setHover(std::optional<geom::Point> n);
    // Whether the converted side shows where it differs from the original.
    bool showsDifference() const { return showDifference_; }
    void setShowDifference(bool show);
    // The current output's distance, once measured.
    std::optional<double> distance() const;

    ComparePane* originalPane() const { return originalPane_; }
    ComparePane* convertedPane() const { return convertedPane_; }
    StatusPlaceholder* convertedPlaceholder() const { return convertedPlaceholder_; }
    const DisplayLoads& loads() const { return *loads_; }

private:
    void build();
    void imagesChanged();
    void refreshTexts();
    void updateDifference();
    void showConverted();

    // An output: the item and how many times it was converted.
    using OutputKey = std::pair<ItemId, int>;
    std::optional<OutputKey> outputKey() const;

    std::optional<ImageItem> item_;
    std::optional<geom::Point> hover_;
    double zoom_ = 4;

    ElidedLabel* fileName_ = nullptr;
    ZoomControl* zoomControl_ = nullptr;
    QAbstractButton* differenceToggle_ = nullptr;
    ComparePane* originalPane_ = nullptr;
    ComparePane* convertedPane_ = nullptr;
    StatusPlaceholder* convertedPlaceholder_ = nullptr;

    // Every output's distance once measured (nullopt: it couldn't be); the
    // heat map only for the output shown.
    std::map<OutputKey, std::optional<double>> distances_;
    bool showDifference_ = false;
    struct Heat {
        OutputKey key;
        QImage map;
        QImage over;  // over the converted image below; made when first shown
        qint64 under = 0;
    };
    std::optional<Heat> heat_;
    std::optional<OutputKey> measuring_;
    std::stop_source measureStop_;
    StartMeasure measure_;
    qint64 shownConverted_ = -1;

    std::unique_ptr<WorkerThread> decoder_;  // absent when loads come from outside
    std::unique_ptr<WorkerThread> measurer_;
    std::unique_ptr<DisplayLoads> loads_;
};

}  // namespace krumple
