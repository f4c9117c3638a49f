#include "convert_settings.h"

#include <algorithm>

namespace krumple {

double ConvertSettings::limitScale(double width, double height) const {
    double scale = 1.0;
    const auto hold = [&](const std::optional<std::int64_t>& limit, double side) {
        if (limit && side > 0) scale = std::min(scale, static_cast<double>(*limit) / side);
    };
    hold(maxWidth, width);
    hold(maxHeight, height);
    hold(maxSide, std::max(width, height));
    return scale;
}

}  // namespace krumple
