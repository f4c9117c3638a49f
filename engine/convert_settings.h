#pragma once

#include <cstdint>
#include <optional>

#include "output_format.h"

namespace krumple {

// How the quality is set: as given, or searched per image for a perceptual
// distance or a file size.
enum class QualityMode { fixed, automatic, fileSize };

// The default largest distance for automatic quality (Butteraugli 3-norm),
// and the range the window offers, from "good" to "visually lossless".
inline constexpr double defaultTargetDistance = 1.6;
inline constexpr double loosestTargetDistance = 3.0;
inline constexpr double strictestTargetDistance = 1.0;

// The side of the upright picture a size limit holds to.
enum class LimitedSide { width, height, longer };

// What one conversion is asked to produce; copied into every job.
struct ConvertSettings {
    OutputFormat format = OutputFormat::jpeg;
    double quality = 0.8;                 // 0–1, ignored for lossless formats
    std::optional<std::int64_t> maxWidth;  // upright width limit in pixels
    bool stripMetadata = false;
    std::optional<std::int64_t> maxHeight = std::nullopt;  // upright height limit in pixels
    std::optional<std::int64_t> maxSide = std::nullopt;    // limit on the longer side in pixels
    bool keepDates = false;  // the output gets the source's modification and access times
    bool onlySmaller = false;  // an output not smaller than its source is dropped
    // Quality chosen per image instead (lossy formats): the lowest whose
    // Butteraugli 3-norm distance is at most this...
    std::optional<double> targetDistance = std::nullopt;
    // ...or the highest whose file is at most this many bytes.
    std::optional<std::int64_t> maxBytes = std::nullopt;

    // The scale the limits ask of an upright picture of this size: at most 1
    // (never upscaled), the same for both sides.
    double limitScale(double width, double height) const;

    friend bool operator==(const ConvertSettings&, const ConvertSettings&) = default;
};

// Whether a conversion may write over a file already at its output path.
enum class Replace { allowed, never };

}  // namespace krumple
