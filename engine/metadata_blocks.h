#pragma once

// Internal: reading and rewriting the raw metadata blocks a file carries.

#include <optional>
#include <string>

#include "properties.h"

namespace krumple::exif {
// The TIFF structure of an EXIF block, with or without the "Exif\0\0" prefix
// that JPEG files put in front of it.
Blob bareTiff(const std::uint8_t* data, std::size_t size);
// "Exif\0\0" + TIFF, as JPEG's APP1 and libvips carry it.
Blob withPrefix(const Blob& tiff);
// The block for an upright picture: the given orientation, no pixel dimensions
// (the writer knows the real ones), no embedded thumbnail (it shows the old
// picture). nullopt when the block does not parse.
std::optional<Blob> upright(const Blob& tiff, int orientation);
}  // namespace krumple::exif

namespace krumple::xmp {
// The packet with any orientation set to 1, for upright pixels.
std::string upright(std::string packet);
}  // namespace krumple::xmp

namespace krumple::jxl {
// A JPEG XL file (bare codestream or container) rewrapped as a container that
// also carries the EXIF and XMP boxes. nullopt when `file` is not JPEG XL.
std::optional<Blob> withMetadataBoxes(const Blob& file, const Blob* exifTiff, const std::string* xmp);
// The container with its compressed Exif and XMP boxes (libjxl writes "brob"
// boxes, which few readers open) replaced by plain ones holding `exif` (the
// box payload: offset, then TIFF) and `xml`. A null payload means the file
// must carry no such box: nullopt if it does. An empty one keeps the box as it is.
std::optional<Blob> withPlainMetadataBoxes(const Blob& file, const Blob* exif, const Blob* xml);
}  // namespace krumple::jxl
