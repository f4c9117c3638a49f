#pragma once

#include <filesystem>
#include <optional>

#include <QImage>

#include "bitmap.h"

namespace krumple {

// A decoded image ready to draw, with the source's upright pixel size.
struct DisplayImage {
    QImage image;
    PixelSize pixelSize;
};

// The longer side the comparison decodes at.
inline constexpr std::int64_t displayMaxPixel = 4096;

// Wraps the bitmap's shared pixels without copying them (images with alpha are
// converted once to premultiplied pixels, which draw fast). nullopt for a null
// or malformed bitmap. Safe on any thread.
std::optional<DisplayImage> toDisplayImage(const LoadedImage& loaded);

// Decodes `file` at up to displayMaxPixel. Runs on a worker thread.
std::optional<DisplayImage> decodeForDisplay(const std::filesystem::path& file);

}  // namespace krumple
