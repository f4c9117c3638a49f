#pragma once

// The batch jobs the command-line benchmark times, as each tool is asked to
// do them: krumple-cli once over all photos, the peers once per photo under
// `xargs -P`.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench_commands.h"

namespace krumple::bench {

// The photos copied flat into one folder as STEM.jpg, so every tool reads the
// same files and names its outputs OUT/STEM.EXT.
struct StagedPhotos {
    std::filesystem::path folder;
    std::vector<std::string> stems;
    std::filesystem::path stemList;  // the stems, NUL-separated, for xargs -0
    std::filesystem::path file(const std::string& stem) const { return folder / (stem + ".jpg"); }
};
StagedPhotos stagePhotos(const std::vector<std::filesystem::path>& photos, const std::filesystem::path& work);

// What every tool is asked for: a format, quality 0.8, maybe a width limit.
struct BatchJob {
    std::string title;      // e.g. "WebP, quality 0.8, width ≤ 2048"
    std::string format;     // krumple-cli's --format
    std::string extension;  // of the outputs
    std::optional<std::int64_t> maxWidth;
};

struct ToolPaths {
    std::filesystem::path cli;      // krumple-cli
    std::filesystem::path convert;  // ImageMagick's convert
};

Argv krumpleCliBatch(const ToolPaths& tools, const BatchJob& job, const StagedPhotos& photos,
                     const std::filesystem::path& out);
// `vips thumbnail` (width limit) or `vips copy`, one process per photo, `parallel` at once.
Argv vipsBatch(const BatchJob& job, const StagedPhotos& photos, const std::filesystem::path& out, int parallel);
// `convert IN [-resize Wx>] -quality 80 OUT`, one process per photo, `parallel` at once.
Argv magickBatch(const ToolPaths& tools, const BatchJob& job, const StagedPhotos& photos,
                 const std::filesystem::path& out, int parallel);

}  // namespace krumple::bench
