// krumple-bench-engine: times our converter against the `vips` tool.
//
//   krumple-bench-engine convert SRC DST FORMAT QUALITY [MAXWIDTH]
//       one conversion, then exit (the unit the drivers time and measure)
//   krumple-bench-engine init | probe
//       start libvips only, or also probe the writable formats, then exit
//   krumple-bench-engine peers|formats|six|sweep|threads|all [--reps N] [--work DIR] PHOTO...
//       the drivers; tables go to stdout as Markdown, progress to stderr

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "bench_commands.h"
#include "converter.h"
#include "image_io.h"
#include "format_bench.h"
#include "peer_bench.h"
#include "thread_bench.h"

namespace {

using namespace krumple;
using namespace krumple::bench;

int usage() {
    std::cerr << "usage: krumple-bench-engine convert SRC DST FORMAT QUALITY [MAXWIDTH]\n"
                 "       krumple-bench-engine peers|formats|six|sweep|threads|all [--reps N] [--work DIR] PHOTO...\n";
    return 2;
}

int convertOne(int argc, char** argv) {
    if (argc < 6 || argc > 7) return usage();
    const auto format = OutputFormat::fromRawValue(argv[4]);
    if (!format) return usage();
    ConvertSettings settings;
    settings.format = *format;
    settings.quality = std::strtod(argv[5], nullptr);
    if (argc == 7) settings.maxWidth = std::strtoll(argv[6], nullptr, 10);
    const auto result = Converter::convert(argv[2], argv[3], settings);
    if (!result) {
        std::cerr << description(result.error()) << '\n';
        return 1;
    }
    std::cout << result->size << '\n';
    return 0;
}

int drive(std::string_view mode, int argc, char** argv) {
    BenchOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--reps" && i + 1 < argc)
            options.reps = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--work" && i + 1 < argc)
            options.work = argv[++i];
        else
            options.files.emplace_back(arg);
    }
    if (options.files.empty()) return usage();

    std::optional<std::filesystem::path> ownWork;
    if (options.work.empty()) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "krumple-bench-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) return 1;
        options.work = ownWork.emplace(tmpl);
    }
    std::filesystem::create_directories(options.work);

    bool ok = true;
    const bool all = mode == "all";
    if (all || mode == "peers") {
        std::cout << "## Ours against vips, quality 0.8, single-threaded\n\n";
        ok = runPeerBench(options, std::cout) && ok;
        std::cout << '\n' << std::flush;
    }
    if (all || mode == "formats" || mode == "six") {
        std::cout << "## Six formats on the largest photo\n\n";
        ok = runSixFormats(options, std::cout) && ok;
        std::cout << '\n' << std::flush;
    }
    if (all || mode == "formats" || mode == "sweep") {
        std::cout << "## Encoder speed settings\n\n";
        ok = runEncoderSweep(options, std::cout) && ok;
        std::cout << '\n' << std::flush;
    }
    if (all || mode == "threads") {
        std::cout << "## libvips concurrency inside our converter\n\n";
        ok = runThreadBench(options, std::cout) && ok;
        std::cout << '\n' << std::flush;
    }
    std::cout.flush();
    if (ownWork) std::filesystem::remove_all(*ownWork);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string_view mode = argv[1];
    if (mode == "init") {
        ensureImageLibrary();
        return 0;
    }
    if (mode == "probe") return writableTypeIdentifiers().empty() ? 1 : 0;
    if (mode == "convert") return convertOne(argc, argv);
    for (std::string_view driver : {"peers", "formats", "six", "sweep", "threads", "all"})
        if (mode == driver) return drive(mode, argc, argv);
    return usage();
}
