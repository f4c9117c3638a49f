#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <stop_token>

#include "bitmap.h"
#include "convert_error.h"
#include "convert_settings.h"
#include "image_io.h"
#include "output_format.h"
#include "properties.h"

namespace krumple::Converter {

// Width and height after orientation, from the source's properties.
std::optional<PixelSize> orientedSize(const ImageSource& source);

// Upright image 0 with its longer side at most maxPixel (full size when absent).
std::optional<Image> decode(const ImageSource& source, std::optional<std::int64_t> maxPixel,
                            bool decodeNow = true);

// An 8-bit sRGB display bitmap of the file and the source's upright size.
std::optional<LoadedImage> loadForDisplay(const std::filesystem::path& file, std::int64_t maxPixel);

// Convert one file. Returns the bytes written. `cancel` is checked once, at the start.
std::expected<std::int64_t, ConvertError> convert(const std::filesystem::path& src,
                                                  const std::filesystem::path& dst,
                                                  const ConvertSettings& settings,
                                                  std::stop_token cancel = {},
                                                  ImageDestination::Replace replace =
                                                      ImageDestination::Replace::allowed);

// The image composited over opaque white, without alpha.
Image flattenedOnWhite(const Image& image);

// The source's properties cleaned for writing with upright pixels.
Properties metadata(const ImageSource& source);

}  // namespace krumple::Converter
