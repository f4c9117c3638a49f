#pragma once

// Internal: one libvips saver per output type identifier.

#include <optional>
#include <string_view>

#include <vips/vips8>

#include "properties.h"

namespace krumple::savers {

// Encodes `image` as `typeIdentifier` into memory. Throws vips::VError on failure.
Blob encode(const vips::VImage& image, std::string_view typeIdentifier, std::optional<double> quality);

// Encodes straight into `target`, so only the encoder's own buffers are held.
// Throws vips::VError on failure.
void encode(const vips::VImage& image, std::string_view typeIdentifier, std::optional<double> quality,
            const vips::VTarget& target);

// The saver's Q, 1–100, for our quality, 0–1. JPEG takes quality × 100; the
// other lossy savers are mapped so the same quality looks about as good as
// JPEG's (bench/README.md, "Quality"). 1.0 is every saver's best.
int vipsQ(std::string_view typeIdentifier, double quality);

// As encode(), but with the saver's own Q as is: for calibrating vipsQ.
Blob encodeAtVipsQ(const vips::VImage& image, std::string_view typeIdentifier, std::optional<int> q);

}  // namespace krumple::savers
