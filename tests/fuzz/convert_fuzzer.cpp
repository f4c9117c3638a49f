// libFuzzer target: bytes on disk -> open, probe, bounded decode, encode to
// a format picked by the input. A crash, hang or leak anywhere on that path is a finding;
// a refusal with one of the fixed texts is the expected outcome for junk.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
    const OutputFormat format = formats[data[size - 1] % formats.size()];
    const ConvertSettings settings{format, 0.5, 48, (data[size - 1] & 0x80) != 0};
    const fs::path dst = out / ("out." + std::string(format.fileExtension()));
    const auto result = Converter::convert(src, dst, settings);
    if (result) {
        if (!fs::exists(dst) || static_cast<std::int64_t>(fs::file_size(dst)) != *result) std::abort();
        fs::remove(dst);
    } else {
        expectEmptyOutputFolder(out);
    }
    return 0;
}
