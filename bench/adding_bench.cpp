#include "adding_bench.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <random>

#include <vips/vips8>

#include "child_process.h"
#include "image_io.h"
#include "stats.h"
#include "store.h"
#include "task_queue.h"
#include "text_table.h"

namespace krumple::bench {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int filesPerFolder = 100;
constexpr int foldersPerLevel = 10;
// Of every 100 files in a folder: this many JPEGs, then text notes, then random bytes.
constexpr int jpegsPerFolder = 70;
constexpr int notesPerFolder = 20;

struct Tree {
    fs::path root;
    int files = 0;
    int jpegs = 0;
    int folders = 0;
};

// Small real JPEGs cut from the photos, each then hard-linked many times.
std::vector<fs::path> smallJpegs(const std::vector<fs::path>& photos, const fs::path& folder) {
    ensureImageLibrary();
    fs::create_directories(folder);
    std::vector<fs::path> made;
    for (const auto& photo : photos) {
        if (made.size() == 5) break;
        const fs::path out = folder / ("small" + std::to_string(made.size()) + ".jpg");
        try {
            vips::VImage::thumbnail(photo.c_str(), 320).jpegsave(out.c_str());
            made.push_back(out);
        } catch (const vips::VError&) {
            vips_error_clear();
        }
    }
    return made;
}

void linkOrCopy(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::create_hard_link(from, to, error);
    if (error) fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

// Nested folders top/sub/ with `filesPerFolder` files in each, up to `files` in all.
Tree makeTree(const std::vector<fs::path>& photos, const fs::path& work, int files) {
    Tree tree{.root = work / "tree"};
    fs::remove_all(tree.root);
    const auto jpegs = smallJpegs(photos, work / "tree-sources");
    if (jpegs.empty()) throw std::runtime_error("no photo could be made into a small JPEG");
    std::mt19937 random(42);
    std::string noise(4096, '\0');
    for (int top = 0; tree.files < files; ++top) {
        for (int sub = 0; sub < foldersPerLevel && tree.files < files; ++sub) {
            const fs::path folder =
                tree.root / ("Album " + std::to_string(top + 1)) / ("Day " + std::to_string(sub + 1));
            fs::create_directories(folder);
            ++tree.folders;
            for (int i = 0; i < filesPerFolder && tree.files < files; ++i, ++tree.files) {
                const std::string name = "IMG_" + std::to_string(1000 + i);
                if (i < jpegsPerFolder) {
                    linkOrCopy(jpegs[static_cast<std::size_t>(i) % jpegs.size()], folder / (name + ".jpg"));
                    ++tree.jpegs;
                } else if (i < jpegsPerFolder + notesPerFolder) {
                    std::ofstream(folder / (name + ".txt")) << "Notes for " << name << ": taken on a walk.\n";
                } else {
                    // A fixed start, so no file begins with some format's signature by
                    // chance (random bytes opening with "Pf" read as a PFM image).
                    for (auto& c : noise) c = static_cast<char>(random() & 0xFF);
                    std::ofstream(folder / (name + ".bin"), std::ios::binary) << "noise\n" << noise;
                }
            }
        }
    }
    return tree;
}

struct Added {
    double ms = 0;
    std::size_t rows = 0;
};

Added addToStore(const fs::path& root) {
    TaskQueue queue;
    auto store = std::make_shared<Store>(queue.executor());
    std::optional<std::size_t> appended;
    const auto t0 = Clock::now();
    store->add({root}, [&appended](std::size_t n) { appended = n; });
    if (!queue.runUntil([&appended] { return appended.has_value(); }, std::chrono::minutes(10))) return {};
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    return {ms, store->items().size()};
}

}  // namespace

bool runAddingBench(const BatchBenchOptions& options, std::ostream& out) {
    std::cerr << "  adding: making the tree\n";
    const Tree tree = makeTree(options.photos, options.work, options.addFiles);
    // The peer walks and reads every file's header too; it exits non-zero for the non-images.
    const Argv peer{"sh", "-c", "find \"$1\" -type f -print0 | xargs -0 vipsheader >/dev/null 2>&1; exit 0", "sh",
                    tree.root.string()};
    const fs::path log = options.work / "adding-peer.log";

    std::vector<double> oursMs, peerMs;
    bool ok = true;
    std::size_t rows = 0;
    for (int rep = -1; rep < options.reps; ++rep) {  // -1: warm-up
        if (rep >= 0) std::cerr << "  adding: repetition " << rep + 1 << "/" << options.reps << '\n';
        auto ours = [&] {
            const Added added = addToStore(tree.root);
            rows = added.rows;
            if (added.rows != static_cast<std::size_t>(tree.jpegs)) ok = false;
            if (rep >= 0) oursMs.push_back(added.ms);
        };
        auto theirs = [&] {
            const ChildRun run = runChild(peer, {}, log);
            if (run.exitCode != 0) ok = false;
            if (rep >= 0) peerMs.push_back(run.wallMs);
        };
        if (rep % 2 == 0) {
            ours();
            theirs();
        } else {
            theirs();
            ours();
        }
    }

    out << "A tree of " << tree.files << " files in " << tree.folders << " folders, two levels deep, "
        << filesPerFolder << " files each: " << tree.jpegs << " JPEGs (320 px wide, hard links to "
        << "5 files made from the photos), " << tree.folders * notesPerFolder << " short text files and "
        << tree.files - tree.jpegs - tree.folders * notesPerFolder << " files of 4 KB random bytes after a text line. "
        << "Warm page cache; medians of " << options.reps << " runs.\n\n";
    auto spread = [](const std::vector<double>& ms) {
        const auto [lo, hi] = std::minmax_element(ms.begin(), ms.end());
        return fixed(*lo / 1e3, 2) + "–" + fixed(*hi / 1e3, 2);
    };
    TextTable table({"what", "seconds", "spread s", "files / s", "rows"});
    const double ours = median(oursMs) / 1e3, theirs = median(peerMs) / 1e3;
    const double files = tree.files;
    table.add({"Store::add until the rows arrive (walk, probe, natural order)", fixed(ours, 2), spread(oursMs),
               fixed(files / ours, 0),
               std::to_string(rows) + (ok ? "" : " (expected " + std::to_string(tree.jpegs) + ")")});
    table.add({"peer: find -print0, xargs -0 vipsheader", fixed(theirs, 2), spread(peerMs), fixed(files / theirs, 0),
               "-"});
    table.print(out);
    out << "\nStore::add ÷ peer time: " << fixed(ours / theirs, 2) << '\n';
    return ok;
}

}  // namespace krumple::bench
