#pragma once

#include <optional>

#include <QImage>
#include <QWidget>

#include "compare_geometry.h"
#include "scaled_images.h"

namespace krumple {

// A pane's image area: the image fitted aspect-true and centred, the loupe at
// the shared position, or the placeholder while there is no image. Tracks the
// pointer over its whole rectangle (margins included) while it has an image.
class ImageArea : public QWidget {
    Q_OBJECT
public:
    // Takes `placeholder` as a child, shown across the whole area.
    explicit ImageArea(QWidget* placeholder, QWidget* parent = nullptr);

    void setImage(const std::optional<QImage>& image);
    void setZoom(double zoom);
    void setHover(std::optional<geom::Point> n);

    bool hasImage() const { return !images_.isNull(); }
    const QImage& image() const { return images_.image(); }
    // The fitted image rectangle in this widget's coordinates.
    geom::Rect fitted() const;
    QWidget* placeholder() const { return placeholder_; }

Q_SIGNALS:
    // The pointer's position over the fitted image, or nullopt outside it.
    void hoverChanged(std::optional<krumple::geom::Point> n);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    // Arrow keys move the loupe (from the middle), Shift farther; Escape hides it.
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void track(std::optional<QPointF> pointer);
    void updateLoupe(std::optional<geom::Point> n);

    QWidget* placeholder_;
    ScaledImages images_;
    double zoom_ = 4;
    std::optional<geom::Point> hover_;
};

}  // namespace krumple
