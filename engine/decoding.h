#pragma once

// Internal to the engine: the steps of a conversion between reader and writer.

#include <cstdint>
#include <optional>

#include "bitmap.h"
#include "image_io.h"
#include "properties.h"

namespace krumple::Converter {

// Width and height after orientation, from the source's properties.
std::optional<PixelSize> orientedSize(const ImageSource& source);

// Upright image 0 with its longer side at most maxPixel (full size when
// absent); 8-bit unless `keepDepth` and the source has 16 bits a sample.
// With `allFrames`, an animation's every frame, stacked.
std::optional<Image> decode(const ImageSource& source, std::optional<std::int64_t> maxPixel,
                            bool decodeNow = true, bool keepDepth = false, bool allFrames = false);

// The image composited over opaque white, without alpha.
Image flattenedOnWhite(const Image& image);

// 8-bit sRGB with 3 or 4 bands, colour-managed from the image's own profile.
vips::VImage toDisplaySRGB(vips::VImage image);

// The source's properties cleaned for writing with upright pixels.
Properties metadata(const ImageSource& source);

}  // namespace krumple::Converter
