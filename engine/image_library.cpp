#include <array>
#include <atomic>
#include <mutex>

#include "image_io.h"
#include "encoder.h"

#include <vips/vector.h>  // not self-contained: after vips8 (from image_io.h)

namespace krumple {

namespace {

// Raster image formats we read. Everything else libvips could open (CSV,
// matrix, raw, FITS, PDF, SVG, ...) is a data or document format, and some
// of those loaders go by file name rather than content.
constexpr std::array allowedLoaders{
    "VipsForeignLoadJpeg", "VipsForeignLoadPng",  "VipsForeignLoadWebp", "VipsForeignLoadHeif",
    "VipsForeignLoadJxl",  "VipsForeignLoadTiff", "VipsForeignLoadNsgif", "VipsForeignLoadJp2k",
    "VipsForeignLoadPpm",
};

void dropLibraryWarnings(const gchar*, GLogLevelFlags, const gchar*, gpointer) {
    // Failures reach the user as our own fixed texts; libvips' warnings
    // about damaged files would only be noise on the terminal.
}

std::atomic<bool> ready{false};

void setUp() {
    if (VIPS_INIT("krumple") != 0) return;
    ready = true;
    // The operation cache can hand back an old decode of a file rewritten since.
    vips_cache_set_max(0);
    // Resampling would compile Orc code per operation, and Orc 0.4.33 frees
    // that code without its lock: threads decoding at once crashed on it.
    vips_vector_set_enabled(FALSE);
    vips_operation_block_set("VipsForeignLoad", TRUE);
    for (const char* name : allowedLoaders) vips_operation_block_set(name, FALSE);
    // ImageMagick would also render SVG, MVG or MSL, which name other files
    // to draw. Its file loader stays blocked so libvips never picks it; the
    // buffer loader is only called by us, on bytes we checked first.
    vips_operation_block_set("VipsForeignLoadMagickBuffer", FALSE);
    // One conversion runs per core; pipelines with their own worker pools
    // would only compete for the same cores.
    if (!g_getenv("VIPS_CONCURRENCY")) vips_concurrency_set(1);
    g_log_set_handler("VIPS", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
                      dropLibraryWarnings, nullptr);
}

}  // namespace

void ensureImageLibrary() {
    static std::once_flag once;
    std::call_once(once, setUp);
}

void releaseImageLibraryThread() {
    // Before set-up there is nothing of this thread to release.
    if (ready) vips_thread_shutdown();
}

namespace {
// A saver can exist while its codec is missing: only a real encode tells.
bool probe(OutputFormat format) {
    ensureImageLibrary();
    bool ok = false;
    try {
        const vips::VImage tiny = vips::VImage::black(16, 16, vips::VImage::option()->set("bands", 3));
        ok = !encodeToMemory(tiny, format, optionsFor(format, 0.5)).empty();
    } catch (const vips::VError&) {
    }
    vips_error_clear();
    return ok;
}
}  // namespace

bool canEncode(std::string_view typeIdentifier) {
    // Each type is probed once, when first asked for: a process that writes
    // JPEG never starts the HEVC or AV1 encoders.
    const auto& formats = OutputFormat::allCases();
    static std::array<std::once_flag, 6> once;
    static std::array<bool, 6> result{};
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (typeIdentifier != formats[i].typeIdentifier()) continue;
        std::call_once(once[i], [&formats, i] { result[i] = probe(formats[i]); });
        return result[i];
    }
    return false;
}

const std::vector<std::string>& writableTypeIdentifiers() {
    static const std::vector<std::string> types = [] {
        std::vector<std::string> found;
        for (OutputFormat f : OutputFormat::allCases())
            if (canEncode(f.typeIdentifier())) found.emplace_back(f.typeIdentifier());
        return found;
    }();
    return types;
}

}  // namespace krumple
