#pragma once

// What the quality benches (Auto, target size) share: timed conversions
// through the engine, and butteraugli_main's reading of an output.

#include <filesystem>

#include "converter.h"

namespace krumple::bench {

// This process's user and system CPU seconds so far.
double cpuSeconds();

struct TimedConversion {
    Converter::Converted result;
    double cpu = 0;  // CPU seconds the conversion took
};

// Throws when the engine reports an error; an output it chose not to write
// (size cap, only smaller) comes back with `written` false.
TimedConversion convertTimed(const std::filesystem::path& src, const std::filesystem::path& dst,
                             const ConvertSettings& settings);
// As above, and throws when nothing was written.
TimedConversion convertWritten(const std::filesystem::path& src, const std::filesystem::path& dst,
                               const ConvertSettings& settings);

// The 3-norm butteraugli_main prints for the two files (PPM, PNG or JPEG); -1
// when it printed none.
double toolDistance(const std::filesystem::path& reference, const std::filesystem::path& distorted);

// The same for an output in any format libvips reads: butteraugli_main reads
// neither HEIC nor WebP, so it is handed the output as libvips decodes it, as
// a PNG beside it.
double outputToolDistance(const std::filesystem::path& reference, const std::filesystem::path& output);

}  // namespace krumple::bench
