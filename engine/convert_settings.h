#pragma once

#include <cstdint>
#include <optional>

#include "output_format.h"

namespace krumple {

// What one conversion is asked to produce; copied into every job.
struct ConvertSettings {
    OutputFormat format = OutputFormat::jpeg;
    double quality = 0.8;                 // 0–1, ignored for lossless formats
    std::optional<std::int64_t> maxWidth;  // upright width limit in pixels
    bool stripMetadata = false;

    friend bool operator==(const ConvertSettings&, const ConvertSettings&) = default;
};

// Whether a conversion may write over a file already at its output path.
enum class Replace { allowed, never };

}  // namespace krumple
