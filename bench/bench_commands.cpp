#include "bench_commands.h"

#include <cmath>

#include <vips/vips8>

#include "child_process.h"
#include "image_io.h"
#include "text_table.h"

namespace krumple::bench {

Env singleThreaded() { return withConcurrency(1); }
Env withConcurrency(int threads) { return {{"VIPS_CONCURRENCY", std::to_string(threads)}}; }

Argv oursConvert(const std::filesystem::path& src, const std::filesystem::path& dst, OutputFormat format,
                 double quality, std::optional<std::int64_t> maxWidth) {
    Argv a{selfPath().string(), "convert", src.string(), dst.string(), std::string(format.rawValue()),
           fixed(quality, 2)};
    if (maxWidth) a.push_back(std::to_string(*maxWidth));
    return a;
}

Argv vipsCopy(const std::filesystem::path& src, const std::filesystem::path& dst, const std::string& options) {
    return {"vips", "copy", src.string(), dst.string() + "[" + options + "]"};
}

Argv vipsThumbnail(const std::filesystem::path& src, const std::filesystem::path& dst,
                   const std::string& options, std::int64_t size) {
    return {"vips", "thumbnail", src.string(), dst.string() + "[" + options + "]", std::to_string(size),
            "--size", "down"};
}

std::int64_t decodeLongSide(int uprightWidth, int uprightHeight, std::optional<std::int64_t> maxWidth) {
    double longSide = std::max(uprightWidth, uprightHeight);
    if (maxWidth && *maxWidth < uprightWidth)
        longSide = std::round(longSide * static_cast<double>(*maxWidth) / uprightWidth);
    return static_cast<std::int64_t>(longSide);
}

std::filesystem::path largest(const std::vector<std::filesystem::path>& files) {
    ensureImageLibrary();
    std::filesystem::path best;
    double most = -1;
    for (const auto& f : files) {
        try {
            const vips::VImage im = vips::VImage::new_from_file(f.c_str());
            const double pixels = static_cast<double>(im.width()) * im.height();
            if (pixels > most) {
                most = pixels;
                best = f;
            }
        } catch (const vips::VError&) {
            vips_error_clear();
        }
    }
    return best;
}

}  // namespace krumple::bench
