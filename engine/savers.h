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

// libvips' quality scale, 1–100, from ours, 0–1.
int vipsQ(double quality);

}  // namespace krumple::savers
