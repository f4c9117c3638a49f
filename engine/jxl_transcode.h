#pragma once

// Internal: a JPEG carried over into JPEG XL without decoding its pixels;
// a JPEG XL decoder gives the JPEG back byte for byte.

#include <optional>

#include "encoder.h"

namespace krumple::jxl {

// The JPEG XL file for `jpeg`, its metadata segments (EXIF, XMP, IPTC) as
// they are or, stripped, left out. nullopt when libjxl refuses the JPEG.
std::optional<Blob> fromJpeg(const Blob& jpeg, bool stripMetadata);

}  // namespace krumple::jxl
