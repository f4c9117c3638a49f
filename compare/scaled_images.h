#pragma once

#include <vector>

#include <QImage>
#include <QSize>

namespace krumple {

// One image and smaller copies of it, made on demand, so that drawing it
// small never samples it sparsely (which would alias fine detail).
class ScaledImages {
public:
    void setImage(const QImage& image);
    const QImage& image() const { return image_; }
    bool isNull() const { return image_.isNull(); }

    // The smallest copy that is still at least `scale` times the full size
    // (halving rounds up, so a copy's exact ratio comes from its size).
    const QImage& atLeast(double scale);

    // The whole image resampled to exactly `size` pixels with area
    // averaging; kept until another size is asked for.
    const QImage& resized(QSize size);

private:
    QImage image_;
    std::vector<QImage> halves_;  // each half the size of the one before
    QImage resized_;
};

}  // namespace krumple
