#pragma once

// Internal to the engine: one encoder per output format, behind one
// interface. Every encoder writes through the destination's EncodeTarget,
// which owns the atomic file handling.

#include <functional>
#include <memory>
#include <string>

#include <vips/vips8>

#include "output_format.h"
#include "properties.h"

namespace krumple {

// Metadata blocks to write, already rewritten for upright pixels; empty means none.
struct MetadataBlocks {
    Blob exif;  // TIFF structure, no "Exif\0\0" prefix
    std::string xmp;
    Blob iptc;
};

struct EncodeOptions {
    int q = 80;             // the codec's own quality scale, 1–100; lossless ignores it
    bool lossless = false;  // exact pixels
    // 8, or 16 for a deep source: PNG and JPEG XL keep 16 bits, HEIC and
    // AVIF store 10, JPEG and WebP 8. The image arrives at this depth.
    int bitDepth = 8;
    // The source JPEG file when decoding it gives exactly the image (full
    // size, turned by `jpegOrientation`): JPEG XL may carry it over without
    // decoding, the turn in its header.
    std::shared_ptr<const Blob> jpeg;
    int jpegOrientation = 1;
    // A PNG source's file: its own image data is kept when it is the smaller
    // way to store the same pixels (an optimiser made it, say).
    std::shared_ptr<const Blob> png;
    // The user left metadata out: a file carried over loses its blocks too.
    bool stripMetadata = false;
};

// The options for our quality, 0–1: each lossy codec's Q is calibrated to
// look about as good as JPEG's at the same quality (bench/README.md, "Quality").
// Lossless where the format is lossless at that quality.
EncodeOptions optionsFor(OutputFormat format, double quality);

// Where an encoder writes. Success is decided here, by the writes
// themselves, not by what a saver reports.
class EncodeTarget {
public:
    virtual ~EncodeTarget() = default;
    // Runs a libvips saver that streams into the target.
    virtual void stream(const std::function<void(const vips::VTarget&)>& save) = 0;
    // Writes a file made whole in memory.
    virtual void write(const Blob& bytes) = 0;
};

class Encoder {
public:
    virtual ~Encoder() = default;
    // The image is upright, carries its colour profile and no other metadata.
    // Throws vips::VError when the codec fails.
    virtual void encode(const vips::VImage& image, const MetadataBlocks& metadata, const EncodeOptions& options,
                        EncodeTarget& out) const = 0;
};

const Encoder& encoderFor(OutputFormat format);

// The encoder's whole file in memory: for probing, calibrating and searching.
Blob encodeToMemory(const vips::VImage& image, OutputFormat format, const EncodeOptions& options,
                    const MetadataBlocks& metadata = {});

// For encoders that store RGB only: a grey picture with a grey profile goes
// through it to sRGB, since a grey profile cannot describe RGB pixels (strict
// readers refuse the file); one that does not load is dropped.
vips::VImage withoutGreyProfile(const vips::VImage& image);

// The bytes of a saver's buffer, which is released.
Blob takeBlob(VipsBlob* blob);

// For the encoders over libvips' savers: the blocks as the savers expect them
// on the image.
vips::VImage withMetadata(const vips::VImage& image, const MetadataBlocks& metadata);

const Encoder& heicEncoder();
const Encoder& jpegEncoder();
const Encoder& pngEncoder();
const Encoder& avifEncoder();
const Encoder& jxlEncoder();
const Encoder& webpEncoder();

}  // namespace krumple
