#pragma once

// Internal to the engine: the image I/O layer, a reader opened on a file and
// a writer created for a type identifier, both over libvips. Nothing above
// the engine sees libvips; its public headers are converter.h and those it
// includes, image_library.h, fmt.h and output_format.h.

#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <vips/vips8>

#include "convert_settings.h"
#include "encoder.h"
#include "image_library.h"
#include "properties.h"
#include "quality_search.h"

namespace krumple {

// How many frames of an animation `image` holds, stacked by libvips'
// "page-height"; 1 for a still.
int stackedFrames(const vips::VImage& image);

// An animation's timing as libvips keeps it beside stacked frames: "delay"
// (ms a frame) and "loop" (how many plays, 0 for ever).
struct FrameTiming {
    std::vector<int> delays;
    int loop = 0;
    // Frame `i`'s time, or 100 ms for a frame the file doesn't time.
    int delayOf(int i) const {
        return i >= 0 && static_cast<std::size_t>(i) < delays.size() ? delays[static_cast<std::size_t>(i)] : 100;
    }
};
FrameTiming frameTiming(const vips::VImage& stacked);
// `stacked` marked as frames `pageHeight` rows high, timed by `timing`.
vips::VImage withFrameTiming(vips::VImage stacked, int pageHeight, const FrameTiming& timing);

// A picture passed from reader to writer. It carries its own colour profile;
// pixels may still be decoding lazily when `decoded` is false.
struct Image {
    vips::VImage pixels;
    bool decoded = false;

    int width() const { return pixels.width(); }
    int height() const { return pixels.height(); }  // all frames', stacked
    // Frames of an animation, stacked top to bottom, each pageHeight() high.
    int frames() const;
    int pageHeight() const { return height() / frames(); }
    bool hasAlpha() const;
};

class ImageSource {
public:
    // nullptr for a missing or unreadable file, or one in no image format.
    static std::unique_ptr<ImageSource> open(const std::filesystem::path& path);

    // Properties of image 0: pixel size, orientation and the raw metadata
    // blocks; only image 0 of a file is ever read.
    const Properties& properties() const { return properties_; }

    // Image 0 upright, longer side at most maxPixel, never upscaled. With
    // `decodeNow` the pixels are in memory when this returns; otherwise they
    // stream into whatever consumes them. nullopt when the header is refused
    // (absurd pixel count) or the decoder fails. With `keepDepth`, a source
    // of 16 bits a sample stays 16-bit; otherwise every image is 8-bit.
    // With `allFrames`, every frame of an animation, composed, at the same scale.
    std::optional<Image> thumbnail(std::int64_t maxPixel, bool decodeNow = true, bool keepDepth = false,
                                   bool allFrames = false) const;
    // The frames of an animation (GIF, WebP, APNG, JPEG XL, AVIF); 1 for a still.
    int frames() const;

    // Image 0 as stored: full size, no orientation applied.
    std::optional<Image> storedImage() const;

    // Whether every pixel of image 0 decodes cleanly (used to tell a damaged
    // source from a failing encoder after the fact).
    bool decodesCleanly() const;

    const std::filesystem::path& path() const { return path_; }

    // Whether image 0 has 16 bits a sample (and is not CMYK).
    bool isDeep() const;
    // Whether its pixels can stream from the decoder (JPEG, PNG not
    // interlaced, TIFF) rather than being decoded whole first.
    bool streams() const;

    // The whole file when it is a JPEG (and not absurdly large), else nullptr.
    std::shared_ptr<const Blob> jpegFile() const;
    // The whole file, when not absurdly large.
    std::shared_ptr<const Blob> wholeFile() const;
    bool isJpeg() const;
    bool isPng() const;

private:
    ImageSource(std::filesystem::path path, vips::VImage header, Properties props, bool magick);
    static std::unique_ptr<ImageSource> openAvif(const std::filesystem::path& path, bool onlyBeyondLibheif = false);
    vips::VImage load(bool failOnTruncated) const;
    // Up to `most` frames decoded by libavif; throws vips::VError when it fails.
    vips::VImage avifFrames(int most) const;
    std::string_view loader() const;
    int countFrames() const;
    // False when decoding is refused up front: too many pixels, samples missing.
    bool decodable() const;
    std::filesystem::path path_;
    mutable std::optional<int> frames_;  // counted once: for JPEG XL that reads the file
    vips::VImage header_;
    Properties properties_;
    bool magick_ = false;  // read whole through ImageMagick: no streaming loader
    bool avif_ = false;    // read through libavif, which libvips refused
};

class AtomicFile;

class ImageDestination {
public:
    using Replace = krumple::Replace;

    // nullptr when the type cannot be written or the folder cannot take a file.
    // The file appears at `path` only when finalize() succeeds; with
    // Replace::never an existing file there is left untouched and finalize fails.
    static std::unique_ptr<ImageDestination> create(const std::filesystem::path& path,
                                                    OutputFormat format, Replace replace = Replace::allowed);
    ~ImageDestination();
    ImageDestination(const ImageDestination&) = delete;
    ImageDestination& operator=(const ImageDestination&) = delete;

    void addImage(const Image& image, const Properties& properties, const EncodeOptions& options);
    // The access and modification times the file gets before it appears.
    void setTimes(const struct timespec& accessed, const struct timespec& modified);
    // The file appears only if it comes out smaller than `bytes`.
    void keepOnlyBelow(std::int64_t bytes) { sizeLimit_ = bytes; }
    // The quality is searched for per image instead of taken from the options.
    void chooseQualityFor(const QualityGoal& goal) { goal_ = goal; }
    // True when the complete file is at its path. On failure nothing of this
    // writer is left on disk.
    bool finalize();
    // After finalize(): the encoded size when it was dropped for not being
    // smaller than keepOnlyBelow() asked.
    std::optional<std::int64_t> notSmaller() const { return notSmaller_; }
    // After finalize() with a goal: what the search chose. When a size goal
    // was missed, nothing was written and `file` is the smallest encode.
    const std::optional<QualityChoice>& chosen() const { return chosen_; }

private:
    ImageDestination(OutputFormat format, std::unique_ptr<AtomicFile> file);
    OutputFormat format_;
    std::unique_ptr<AtomicFile> file_;
    std::optional<Image> image_;
    Properties properties_;
    EncodeOptions options_;
    std::optional<std::int64_t> sizeLimit_;
    std::optional<std::int64_t> notSmaller_;
    std::optional<QualityGoal> goal_;
    std::optional<QualityChoice> chosen_;
    bool finalized_ = false;
};

}  // namespace krumple
