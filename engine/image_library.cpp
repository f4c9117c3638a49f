#include <array>
#include <atomic>
#include <mutex>

#include "image_io.h"
#include "savers.h"

namespace krumple {

namespace {

// Raster image formats we read. Everything else libvips could open (CSV,
// matrix, raw, FITS, PDF, SVG, ...) is a data or document format, and some
// of those loaders go by file name rather than content.
constexpr std::array allowedLoaders{
    "VipsForeignLoadJpeg", "VipsForeignLoadPng",  "VipsForeignLoadWebp", "VipsForeignLoadHeif",
    "VipsForeignLoadJxl",  "VipsForeignLoadTiff", "VipsForeignLoadNsgif", "VipsForeignLoadJp2k",
    "VipsForeignLoadPpm",
    // BMP (and a few other raster formats) only come through ImageMagick;
    // it picks its decoder by content.
    "VipsForeignLoadMagick",
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
    vips_operation_block_set("VipsForeignLoad", TRUE);
    for (const char* name : allowedLoaders) vips_operation_block_set(name, FALSE);
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

const std::vector<std::string>& writableTypeIdentifiers() {
    static const std::vector<std::string> types = [] {
        ensureImageLibrary();
        std::vector<std::string> found;
        // A saver can exist while its codec is missing: only a real encode tells.
        for (const char* t : {"public.heic", "public.jpeg", "public.png", "public.avif", "public.jxl",
                              "org.webmproject.webp"}) {
            try {
                const vips::VImage probe = vips::VImage::black(16, 16, vips::VImage::option()->set("bands", 3));
                if (!savers::encode(probe, t, 0.5).empty()) found.emplace_back(t);
            } catch (const vips::VError&) {
            }
            vips_error_clear();
        }
        return found;
    }();
    return types;
}

}  // namespace krumple
