#pragma once

// The commands the benchmark times: our converter in a one-shot child
// process, and the `vips` command-line tool as the peer.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "output_format.h"

namespace krumple::bench {

struct BenchOptions {
    int reps = 5;
    std::filesystem::path work;  // scratch folder for outputs and logs
    std::vector<std::filesystem::path> files;
};

using Argv = std::vector<std::string>;
using Env = std::map<std::string, std::string>;

// libvips' own worker pool held to one thread, for ours and the peer alike.
Env singleThreaded();
Env withConcurrency(int threads);

// `krumple-bench-engine convert src dst format quality [maxWidth]`
Argv oursConvert(const std::filesystem::path& src, const std::filesystem::path& dst, OutputFormat format,
                 double quality, std::optional<std::int64_t> maxWidth = std::nullopt);

// `vips copy src dst[options]`
Argv vipsCopy(const std::filesystem::path& src, const std::filesystem::path& dst, const std::string& options);

// `vips thumbnail src dst[options] size --size down`: the longer side bounded by `size`.
Argv vipsThumbnail(const std::filesystem::path& src, const std::filesystem::path& dst,
                   const std::string& options, std::int64_t size);

// The longer side our converter decodes to for a width limit (halves away from zero).
std::int64_t decodeLongSide(int uprightWidth, int uprightHeight, std::optional<std::int64_t> maxWidth);

// The photo with the most pixels.
std::filesystem::path largest(const std::vector<std::filesystem::path>& files);

}  // namespace krumple::bench
