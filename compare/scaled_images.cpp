#include "scaled_images.h"

#include <algorithm>

namespace krumple {

void ScaledImages::setImage(const QImage& image) {
    if (image.cacheKey() == image_.cacheKey()) return;
    image_ = image;
    halves_.clear();
    resized_ = QImage();
}

const QImage& ScaledImages::atLeast(double scale) {
    const QImage* level = &image_;
    double levelScale = 1;
    for (std::size_t i = 0; !level->isNull() && levelScale / 2 >= scale; ++i) {
        if (i == halves_.size()) {
            const int w = (level->width() + 1) / 2;
            const int h = (level->height() + 1) / 2;
            if (w == level->width() && h == level->height()) break;  // 1 × 1 goes no smaller
            halves_.push_back(level->scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        }
        level = &halves_[i];
        levelScale /= 2;
    }
    return *level;
}

const QImage& ScaledImages::resized(QSize size) {
    if (image_.isNull() || size.isEmpty()) {
        resized_ = QImage();
        return resized_;
    }
    if (resized_.size() != size) {
        const double scale =
            std::max(double(size.width()) / image_.width(), double(size.height()) / image_.height());
        const QImage& level = atLeast(scale);
        resized_ = level.size() == size ? level : level.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return resized_;
}

}  // namespace krumple
