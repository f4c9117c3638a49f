#pragma once

// The engine's face to the rest of the program: converting one file, and
// loading one for display. No libvips type comes through here.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <stop_token>

#include "bitmap.h"
#include "convert_error.h"
#include "convert_settings.h"
#include "output_format.h"

namespace krumple::Converter {

// Whether the file opens as an image, told by its content; decodes nothing.
bool canRead(const std::filesystem::path& file);
// The frames of a readable file (1 for a still); nullopt when it can't be read.
std::optional<int> readableFrames(const std::filesystem::path& file);

// An 8-bit sRGB display bitmap of the file and the source's upright size.
std::optional<LoadedImage> loadForDisplay(const std::filesystem::path& file, std::int64_t maxPixel);

// What one conversion left on disk.
struct Converted {
    std::int64_t size = 0;        // the output's bytes
    std::int64_t sourceSize = 0;  // the source's bytes as it was read
    // With settings.onlySmaller, an output that came out no smaller than its
    // source is never written: `written` is false and `size` what it would have had.
    bool written = true;
    // With settings.maxBytes, an output that can't fit even at the lowest
    // quality is never written: `written` is false and `size` the smallest reached.
    bool overCap = false;
    // Set when the quality was searched for: the one chosen (0–1), and its
    // Butteraugli distance when the search measured one.
    std::optional<double> quality = std::nullopt;
    std::optional<double> distance = std::nullopt;
    // Set for a JPEG into lossless JPEG XL: whether the output carries the
    // JPEG itself, so that a decoder gives the source back byte for byte (not
    // when resized, nor with metadata left out).
    std::optional<bool> rebuildsJpeg = std::nullopt;
    // An animation's frames, and those written: all of them where the format
    // holds an animation, else the first.
    int sourceFrames = 1;
    int frames = 1;

    friend bool operator==(const Converted&, const Converted&) = default;
};

// Convert one file. `cancel` is checked once, at the start.
std::expected<Converted, ConvertError> convert(const std::filesystem::path& src,
                                                  const std::filesystem::path& dst,
                                                  const ConvertSettings& settings,
                                                  std::stop_token cancel = {},
                                                  Replace replace = Replace::allowed);

// Copies `src` to `dst` unchanged through the same all-or-nothing writing as
// outputs, with its times when `keepDates`. Returns the bytes copied.
std::expected<std::int64_t, ConvertError> copyOriginal(const std::filesystem::path& src,
                                                       const std::filesystem::path& dst, bool keepDates,
                                                       Replace replace = Replace::allowed);

// The most memory converting `src` with `settings` is expected to take, in
// bytes, erring high: from the output's pixel count, by a table measured per
// encoder. Reads the header only; 0 for a file that won't open.
// `measuringDifference`: the output is then measured against `src`
// (`difference`), which follows the conversion, so the larger of the two counts.
std::int64_t memoryEstimate(const std::filesystem::path& src, const ConvertSettings& settings,
                            bool measuringDifference = false);

}  // namespace krumple::Converter
