#pragma once

// Internal: a JPEG carried over into JPEG XL without decoding its pixels;
// a JPEG XL decoder gives the JPEG back byte for byte.

#include <jxl/encode.h>

#include <filesystem>
#include <memory>
#include <optional>

#include "encoder.h"

namespace krumple::jxl {

// The JPEG XL file for `jpeg`, its metadata segments (EXIF, XMP, IPTC) as
// they are or, stripped, left out, shown turned by `orientation` (EXIF's
// 1–8) as the JPEG was. nullopt when libjxl refuses the JPEG.
std::optional<Blob> fromJpeg(const Blob& jpeg, bool stripMetadata, int orientation = 1);

struct EncoderDeleter {
    void operator()(JxlEncoder* encoder) const { JxlEncoderDestroy(encoder); }
};
using EncoderPtr = std::unique_ptr<JxlEncoder, EncoderDeleter>;

// Everything `encoder` writes once its input is closed; nullopt when it
// fails. `expected`: a first guess at the size.
std::optional<Blob> output(JxlEncoder* encoder, std::size_t expected);

// Whether the JPEG XL file at `path` holds what rebuilds its JPEG byte for byte.
bool rebuildsJpeg(const std::filesystem::path& path);

}  // namespace krumple::jxl
