#pragma once

// Internal: the marker segments at the head of a JPEG file.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "properties.h"

namespace krumple::jpeg {

// The file without the header segments (those before the scan) for which
// `drop(marker, payload)` is true. nullopt when the head does not parse.
std::optional<Blob> withoutSegments(const Blob& file,
                                    const std::function<bool(std::uint8_t, std::span<const std::uint8_t>)>& drop);

// APP1 "Exif\0\0": the EXIF block.
bool isExif(std::uint8_t marker, std::span<const std::uint8_t> payload);

}  // namespace krumple::jpeg
