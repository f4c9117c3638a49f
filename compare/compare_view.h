#pragma once

// The before/after view of one item: its original and converted images side
// by side, with one loupe that follows the pointer over both.
//
// The window creates one CompareView and keeps it for the life of its right
// pane, calling setItem() with the selected item whenever the items or the
// selection change, and setItem(std::nullopt) when nothing is selected (while
// it shows its own placeholder instead). Keeping the same view is what keeps
// the zoom and lets the original image be reused.

#include <memory>
#include <optional>

#include <QWidget>

#include "compare_geometry.h"
#include "display_loads.h"
#include "image_item.h"

namespace krumple {

class ComparePane;
class DisplayDecoder;
class ElidedLabel;
class StatusPlaceholder;
class ZoomControl;

class CompareView : public QWidget {
    Q_OBJECT
public:
    // Decodes on a worker thread of its own.
    explicit CompareView(QWidget* parent = nullptr);
    // Loads through `start` instead (tests drive the loads by hand).
    explicit CompareView(DisplayLoads::StartLoad start, QWidget* parent = nullptr);
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

    ComparePane* originalPane() const { return originalPane_; }
    ComparePane* convertedPane() const { return convertedPane_; }
    StatusPlaceholder* convertedPlaceholder() const { return convertedPlaceholder_; }
    const DisplayLoads& loads() const { return *loads_; }

private:
    void build();
    void imagesChanged();
    void refreshTexts();

    std::optional<ImageItem> item_;
    std::optional<geom::Point> hover_;
    double zoom_ = 4;

    ElidedLabel* fileName_ = nullptr;
    ZoomControl* zoomControl_ = nullptr;
    ComparePane* originalPane_ = nullptr;
    ComparePane* convertedPane_ = nullptr;
    StatusPlaceholder* convertedPlaceholder_ = nullptr;

    std::unique_ptr<DisplayDecoder> decoder_;  // absent when loads come from outside
    std::unique_ptr<DisplayLoads> loads_;
};

}  // namespace krumple
