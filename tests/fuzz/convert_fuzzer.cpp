// libFuzzer target: bytes on disk -> open, probe, bounded decode, encode to
// a format picked by the input. A crash, hang or leak anywhere on that path is a finding;
// a refusal with one of the fixed texts is the expected outcome for junk.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

#include <unistd.h>

#include "converter.h"
#include "decoding.h"
#include "output_format.h"

namespace fs = std::filesystem;
using namespace krumple;

namespace {

// One scratch folder per fuzzing process, removed at exit.
struct Scratch {
    fs::path root;
    Scratch() {
        std::string tmpl = (fs::temp_directory_path() / "krumple-fuzz-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) std::abort();
        root = tmpl;
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

void expectEmptyOutputFolder(const fs::path& out) {
    // A refusal must never leave a file, temporary or final, behind.
    for (const auto& entry : fs::directory_iterator(out)) {
        std::fprintf(stderr, "left behind: %s\n", entry.path().c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ensureImageLibrary();
    // Shut the library down before LeakSanitizer's exit check, so that what
    // is left then is a leak and not the library's process-lifetime state.
    std::atexit([] { vips_shutdown(); });
    (void)OutputFormat::available();  // probe the encoders once, outside the loop
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path src = scratch().root / "input";
    const fs::path out = scratch().root / "out";
    fs::create_directories(out);
    {
        std::ofstream f(src, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    if (auto source = ImageSource::open(src)) {
        (void)source->properties();
        (void)Converter::orientedSize(*source);
    }
    (void)Converter::loadForDisplay(src, 96);

    // One format per input, picked by its last byte, so the mutator reaches
    // every encoder while each run stays short. A small bound keeps encoding
    // fast; the decoder still reads the whole file.
    const auto& formats = OutputFormat::available();
    if (size == 0 || formats.empty()) return 0;
    const std::uint8_t pick = data[size - 1];
    const OutputFormat format = formats[pick % formats.size()];
    // Some inputs at 100 %: lossless JPEG XL and WebP, and for small pictures
    // at full size, JPEG to JPEG XL without decoding.
    const bool best = (pick & 0x40) != 0;
    std::optional<std::int64_t> maxWidth = 48;
    if (best) {
        const auto source = ImageSource::open(src);
        const auto upright = source ? Converter::orientedSize(*source) : std::nullopt;
        if (upright && upright->width * upright->height <= 256 * 256) maxWidth.reset();
    }
    ConvertSettings settings{format, best ? 1.0 : 0.5, maxWidth, (pick & 0x80) != 0};
    settings.onlySmaller = (pick & 0x20) != 0;
    const fs::path dst = out / ("out." + std::string(format.fileExtension()));
    const auto result = Converter::convert(src, dst, settings);
    if (result && result->written) {
        if (!fs::exists(dst) || static_cast<std::int64_t>(fs::file_size(dst)) != result->size) std::abort();
        fs::remove(dst);
    } else {
        expectEmptyOutputFolder(out);
    }
    return 0;
}
