#pragma once

// Internal: a PNG's image data compressed again with zlib settings libvips
// doesn't offer (the strategy, the memory level), every other chunk as it was.

#include <optional>
#include <span>

#include "encoder.h"

namespace krumple::png {

// A PNG cut around its image data: the signature and chunks before it, the
// image data, and the chunks after it, IEND included.
struct Parts {
    Blob head;
    Blob rows;    // the filtered rows, inflated (Keep::rows)
    Blob stream;  // the image data as stored, deflated (Keep::stream)
    Blob tail;
};

enum class Keep { rows, stream };

// Whether `a` and `b` store their pixels alike (the same IHDR), and neither through a palette.
bool sameLayout(const Parts& a, const Parts& b);

// nullopt for anything but a well-formed PNG with its image data in one run
// of IDAT chunks (and for its rows, not interlaced).
std::optional<Parts> split(std::span<const std::uint8_t> file, Keep keep);

enum class Strategy { standard, filtered, runs };

// The rows deflated at zlib's strongest level with `strategy`, as an IDAT
// stream; nullopt when zlib fails.
std::optional<Blob> deflated(const Blob& rows, Strategy strategy);

// `grey`, a grey PNG of palette indices (at the palette's bit depth),
// made a palette PNG: its colour type changed, PLTE and tRNS added.
Parts withPalette(Parts grey, const Blob& plte, const Blob& trns);

// The PNG of `parts` with `idat` as its image data.
Blob joined(const Parts& parts, const Blob& idat);

}  // namespace krumple::png
