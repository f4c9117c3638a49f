#pragma once

// For the benchmarks: the encoders by type identifier, as they calibrate and
// compare them. The engine itself goes through encoderFor (encoder.h).

#include <optional>
#include <string_view>

#include <vips/vips8>

#include "properties.h"

namespace krumple::savers {

// Encodes `image` as `typeIdentifier` into memory at our quality, 0–1.
// Throws vips::VError on failure.
Blob encode(const vips::VImage& image, std::string_view typeIdentifier, std::optional<double> quality);

// The codec's Q, 1–100, for our quality, 0–1. JPEG takes quality × 100; the
// other lossy codecs are mapped so the same quality looks about as good as
// JPEG's (bench/README.md, "Quality"). 1.0 is every codec's best.
int vipsQ(std::string_view typeIdentifier, double quality);

// As encode(), but with the codec's own Q as is: for calibrating vipsQ.
Blob encodeAtVipsQ(const vips::VImage& image, std::string_view typeIdentifier, std::optional<int> q);

}  // namespace krumple::savers
