#pragma once

// Internal: AVIF through libavif, for what libvips 8.14 (over libheif 1.15)
// can't do: image sequences, in and out, and stills libheif refuses (a
// mirrored picture of more than 8 bits).

#include <filesystem>
#include <optional>

#include <vips/vips8>

#include "encoder.h"

namespace krumple::avif {

// Whether the bytes start as an AVIF file: an ISO box "ftyp" naming an AVIF brand.
bool looksLikeAvif(const std::uint8_t* head, std::size_t size);

struct Header {
    int width = 0, height = 0;  // after the crop and the turn
    int frames = 1;
    bool deep = false;  // more than 8 bits a sample
    bool alpha = false;
    // What libheif 1.15 can't show: every frame of a sequence, or a
    // mirrored picture of more than 8 bits.
    bool beyondLibheif = false;
    Blob icc, exif;
    std::string xmp;
};

// What the file holds, read without decoding a pixel; nullopt when libavif refuses it.
std::optional<Header> headerOf(const std::filesystem::path& file);

// Up to `most` frames, decoded, cropped, turned and mirrored as the file
// says, stacked as libvips stacks an animation ("page-height", "delay" in
// ms, "loop" 0: libavif 0.11 keeps no loop count). 8-bit, or 16-bit for a
// deep file; the colour profile attached. nullopt when libavif refuses it.
std::optional<vips::VImage> framesOf(const Blob& file, int most = 1 << 30);

// An AVIF image sequence of `stacked`'s frames, 8-bit sRGB, at our codec quality (lossless too), with the EXIF and XMP blocks. nullopt
// when libavif fails.
std::optional<Blob> animationFrom(const vips::VImage& stacked, const MetadataBlocks& metadata,
                                  const EncodeOptions& options);

}  // namespace krumple::avif
