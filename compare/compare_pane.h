#pragma once

#include <optional>

#include <QWidget>

#include "compare_geometry.h"
#include "display_image.h"

class QLabel;

namespace krumple {

class ElidedLabel;
class ImageArea;

// One side of the comparison: the title, the detail line and the image area
// (the image fitted into it, or the placeholder), on the window background.
// The pane keeps no state of its own beyond what it is given.
class ComparePane : public QWidget {
    Q_OBJECT
public:
    // Takes `placeholder` as a child; it is shown while there is no image.
    ComparePane(const QString& title, QWidget* placeholder, QWidget* parent = nullptr);

    void setDetail(const QString& detail);
    void setImage(const std::optional<DisplayImage>& image);
    void setZoom(double zoom);
    void setHover(std::optional<geom::Point> n);

    QString title() const;
    QString detail() const;
    bool hasImage() const;
    ImageArea* imageArea() const { return area_; }

Q_SIGNALS:
    // Written by the pointer over this pane's image area.
    void hoverChanged(std::optional<krumple::geom::Point> n);

private:
    QLabel* title_;
    ElidedLabel* detail_;
    ImageArea* area_;
};

}  // namespace krumple
