// krumple-bench-batch: times krumple-cli against vips and ImageMagick on a
// batch of photos, and adding a large tree of files to a store.
//
//   krumple-bench-batch convert|add|all --cli PATH [--convert PATH] [--reps N]
//                       [--files N] [--work DIR] PHOTO...
//
// Tables go to stdout as Markdown, progress to stderr.

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "adding_bench.h"
#include "batch_convert_bench.h"

namespace {

using namespace krumple::bench;

int usage() {
    std::cerr << "usage: krumple-bench-batch convert|add|all --cli PATH [--convert PATH] [--reps N] [--files N]\n"
                 "                           [--work DIR] PHOTO...\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string_view mode = argv[1];
    if (mode != "convert" && mode != "add" && mode != "all") return usage();

    // Every tool starts from its own default; the vips rows that want one
    // thread ask for it themselves.
    ::unsetenv("VIPS_CONCURRENCY");

    BatchBenchOptions options;
    options.tools.convert = "convert";
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--cli" && hasValue)
            options.tools.cli = argv[++i];
        else if (arg == "--convert" && hasValue)
            options.tools.convert = argv[++i];
        else if (arg == "--reps" && hasValue)
            options.reps = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--files" && hasValue)
            options.addFiles = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--work" && hasValue)
            options.work = argv[++i];
        else
            options.photos.emplace_back(arg);
    }
    if (options.photos.empty() || (mode != "add" && options.tools.cli.empty())) return usage();

    std::optional<std::filesystem::path> ownWork;
    if (options.work.empty()) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "krumple-bench-batch-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) return 1;
        options.work = ownWork.emplace(tmpl);
    }
    std::filesystem::create_directories(options.work);

    bool ok = true;
    try {
        if (mode == "convert" || mode == "all") {
            std::cout << "## Batch conversion: krumple-cli, vips and ImageMagick\n\n";
            ok = runBatchConvertBench(options, std::cout) && ok;
            std::cout << '\n';
        }
        if (mode == "add" || mode == "all") {
            std::cout << "## Adding " << options.addFiles << " files in nested folders\n\n";
            ok = runAddingBench(options, std::cout) && ok;
            std::cout << '\n';
        }
    } catch (const std::exception& e) {
        std::cerr << "krumple-bench-batch: " << e.what() << '\n';
        ok = false;
    }
    std::cout.flush();
    if (ownWork) std::filesystem::remove_all(*ownWork);
    return ok ? 0 : 1;
}
