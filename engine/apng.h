#pragma once

// Internal: animated PNG (APNG), which libpng and libvips 8.14 see only as
// its first frame. Frames are plain PNG streams that libvips encodes and
// decodes; this wraps and unwraps them in APNG's acTL, fcTL and fdAT chunks.

#include <filesystem>
#include <functional>
#include <optional>

#include <vips/vips8>

#include "encoder.h"

namespace krumple::apng {

// An APNG of `stacked`'s frames (libvips' "page-height", "delay" in ms and
// "loop", 0 for ever), each made a PNG by `encode` (called with the frame and
// whether it is the first, which carries the file's metadata). The first
// frame is also the still that plain PNG readers show. nullopt when the
// frames' PNGs don't agree on their header.
std::optional<Blob> animationFrom(const vips::VImage& stacked,
                                  const std::function<Blob(const vips::VImage& frame, bool first)>& encode);

// Every frame of an APNG, composed on its canvas (disposal and blending
// done), stacked as libvips stacks them, 8-bit with alpha where the file
// has any; nullopt for a plain PNG or a damaged animation.
std::optional<vips::VImage> framesOf(const Blob& file);

// The frames an APNG announces, read from the chunks before its pixels: 1
// for a plain PNG, 0 when the file isn't one.
int frameCount(const std::filesystem::path& file);

}  // namespace krumple::apng
