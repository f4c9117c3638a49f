#pragma once

// The one-line texts under the panes' titles.

#include <cstdint>
#include <filesystem>
#include <optional>

#include <QString>

#include "bitmap.h"
#include "image_item.h"

namespace krumple {

// "4032×3024 · 2.1 MB · HEIC": the pixel size (truncated, only when known),
// the byte count, and the label unless empty, joined by " · ".
QString detailLine(const std::optional<PixelSize>& size, std::int64_t bytes, const QString& label);

// The file's extension in upper case, without the dot ("" when it has none).
QString extensionLabel(const std::filesystem::path& file);

// The file name as the header shows it.
QString displayName(const std::filesystem::path& file);

// The original pane's line for `item`, given the loaded image's size if any.
QString originalDetail(const ImageItem& item, const std::optional<PixelSize>& original);

// The converted pane's line: the detail line of the output followed by the
// percentage change and the distance when measured, or a single space until
// the item is done with a size (so the line keeps its height).
QString convertedDetail(const ImageItem& item, const std::optional<PixelSize>& converted,
                        std::optional<double> distance = std::nullopt);

// A Butteraugli distance in words and figures: "looks identical · 0.6".
QString distanceText(double distance);

}  // namespace krumple
