#include "batch_convert_bench.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <map>

#include "child_process.h"
#include "picture_check.h"
#include "processor_count.h"
#include "stats.h"
#include "text_table.h"
#include "tree_memory.h"

namespace krumple::bench {

namespace {

namespace fs = std::filesystem;

struct Run {
    double wallMs = 0;
    double cpuMs = 0;
    double processMB = 0;  // the largest single process (wait4 covers reaped grandchildren too)
    TreePeak tree;
};

struct Tool {
    std::string name;
    Argv argv;
    Env env;
    fs::path out;
    std::vector<Run> runs{};
    bool failed = false;
    // From the warm-up run's outputs.
    std::map<std::string, std::optional<PictureSize>> sizes{};
    std::int64_t bytes = 0;

    template <typename F>
    double median(F field) const {
        std::vector<double> v;
        for (const auto& r : runs) v.push_back(field(r));
        return bench::median(v);
    }
    double wallMs() const { return median([](const Run& r) { return r.wallMs; }); }
    double cpuMs() const { return median([](const Run& r) { return r.cpuMs; }); }
    double processMB() const { return median([](const Run& r) { return r.processMB; }); }
    double treeMB() const { return median([](const Run& r) { return r.tree.rssMB; }); }
    double treeAnonMB() const { return median([](const Run& r) { return r.tree.anonMB; }); }
};

struct JobRows {
    BatchJob job;
    std::vector<Tool> tools;  // krumple-cli, vips 1 thread, vips default threads, ImageMagick
};

enum ToolIndex : std::size_t { krumple = 0, vipsOneThread = 1, vipsDefault = 2, magick = 3 };

std::vector<JobRows> plan(const BatchBenchOptions& options, const StagedPhotos& photos, int parallel) {
    const std::vector<BatchJob> jobs{
        {.title = "WebP, quality 0.8, width ≤ 2048", .format = "webp", .extension = "webp", .maxWidth = 2048},
        {.title = "JPEG, quality 0.8, full size", .format = "jpeg", .extension = "jpg", .maxWidth = std::nullopt},
    };
    const std::string p = std::to_string(parallel);
    std::vector<JobRows> rows;
    for (const auto& job : jobs) {
        auto dir = [&](const std::string& tool) { return options.work / ("out-" + job.format + "-" + tool); };
        JobRows r{.job = job, .tools = {}};
        r.tools.push_back({.name = "krumple-cli (default jobs)",
                           .argv = krumpleCliBatch(options.tools, job, photos, dir("krumple")),
                           .env = {},
                           .out = dir("krumple")});
        r.tools.push_back({.name = "vips, xargs -P " + p + ", 1 thread each",
                           .argv = vipsBatch(job, photos, dir("vips1"), parallel),
                           .env = singleThreaded(),
                           .out = dir("vips1")});
        r.tools.push_back({.name = "vips, xargs -P " + p + ", default threads",
                           .argv = vipsBatch(job, photos, dir("vips"), parallel),
                           .env = {},
                           .out = dir("vips")});
        r.tools.push_back({.name = "ImageMagick, xargs -P " + p,
                           .argv = magickBatch(options.tools, job, photos, dir("magick"), parallel),
                           .env = {},
                           .out = dir("magick")});
        rows.push_back(std::move(r));
    }
    return rows;
}

std::optional<Run> runOnce(Tool& tool, const fs::path& log) {
    fs::remove_all(tool.out);
    fs::create_directories(tool.out);
    TreeMemorySampler sampler;
    const ChildRun child = runChild(tool.argv, tool.env, log);
    const TreePeak tree = sampler.finish();
    if (child.exitCode != 0) {
        tool.failed = true;
        std::ifstream text(log);
        std::cerr << "  failed: " << tool.name << ":\n" << text.rdbuf() << '\n';
        return std::nullopt;
    }
    return Run{.wallMs = child.wallMs, .cpuMs = child.cpuMs, .processMB = child.peakMB, .tree = tree};
}

void readOutputs(Tool& tool, const BatchJob& job, const StagedPhotos& photos) {
    tool.bytes = 0;
    for (const auto& stem : photos.stems) {
        const fs::path file = tool.out / (stem + "." + job.extension);
        tool.sizes[stem] = pictureSize(file);
        tool.bytes += std::max<std::int64_t>(0, fileBytes(file));
    }
}

// How many outputs have the pixel size of krumple-cli's.
int sameSizes(const Tool& tool, const Tool& ours) {
    int same = 0;
    for (const auto& [stem, size] : tool.sizes) {
        const auto it = ours.sizes.find(stem);
        if (size && it != ours.sizes.end() && it->second == size) ++same;
    }
    return same;
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

std::string ratio(double a, double b) { return b > 0 ? fixed(a / b, 2) : "-"; }
std::string verdict(bool met) { return met ? "met" : "NOT met"; }

bool report(const JobRows& rows, const StagedPhotos& photos, int reps, std::ostream& out) {
    const auto& t = rows.tools;
    bool ok = true;
    out << "### " << rows.job.title << "\n\n";
    TextTable table({"tool", "wall s", "spread s", "× vips 1-thread", "× ImageMagick", "CPU s", "largest process MB",
                     "whole run MB", "whole run anon MB", "output bytes", "sizes as krumple-cli"});
    for (const auto& tool : t) {
        if (tool.failed || tool.runs.empty()) {
            ok = false;
            table.add({tool.name, "FAILED"});
            continue;
        }
        std::vector<double> walls;
        for (const auto& r : tool.runs) walls.push_back(r.wallMs / 1e3);
        const auto [lo, hi] = std::minmax_element(walls.begin(), walls.end());
        const int same = sameSizes(tool, t[krumple]);
        if (same != static_cast<int>(photos.stems.size())) ok = false;
        table.add({tool.name, fixed(tool.wallMs() / 1e3, 2), fixed(*lo, 2) + "–" + fixed(*hi, 2),
                   ratio(tool.wallMs(), t[vipsOneThread].wallMs()), ratio(tool.wallMs(), t[magick].wallMs()),
                   fixed(tool.cpuMs() / 1e3, 2), fixed(tool.processMB(), 0), fixed(tool.treeMB(), 0),
                   fixed(tool.treeAnonMB(), 0), std::to_string(tool.bytes),
                   std::to_string(same) + "/" + std::to_string(photos.stems.size())});
    }
    table.print(out);
    if (!ok) return false;

    const Tool& ours = t[krumple];
    const double vsVips = ours.wallMs() / t[vipsOneThread].wallMs();
    const double vsMagick = ours.wallMs() / t[magick].wallMs();
    const double memTree = ours.treeMB() / t[magick].treeMB();
    const double memProcess = ours.processMB() / t[magick].processMB();
    out << "\n- time, krumple-cli ÷ vips (1 thread each): " << fixed(vsVips, 2) << " (target ≤ 1.05: "
        << verdict(vsVips <= 1.05) << ")\n"
        << "- time, krumple-cli ÷ ImageMagick: " << fixed(vsMagick, 2) << " (target < 1: " << verdict(vsMagick < 1)
        << "); ImageMagick ÷ vips: " << ratio(t[magick].wallMs(), t[vipsOneThread].wallMs()) << '\n'
        << "- peak memory, krumple-cli ÷ ImageMagick: whole run " << fixed(memTree, 2) << " (target ≤ 0.7: "
        << verdict(memTree <= 0.7) << "), largest process " << fixed(memProcess, 2) << '\n'
        << "- medians of " << reps << " runs\n\n";
    return true;
}

}  // namespace

bool runBatchConvertBench(const BatchBenchOptions& options, std::ostream& out) {
    const int parallel = activeProcessorCount();
    const StagedPhotos photos = stagePhotos(options.photos, options.work);
    auto rows = plan(options, photos, parallel);
    const fs::path log = options.work / "batch-child.log";
    const std::string loadBefore = loadAverage();

    // Warm-up: page cache, and every tool's outputs checked before timing.
    std::cerr << "  batch: warm-up\n";
    for (auto& r : rows)
        for (auto& tool : r.tools)
            if (runOnce(tool, log)) readOutputs(tool, r.job, photos);
    // Each repetition runs every tool once, starting with a different one each
    // time, so a burst of load from elsewhere hits them alike.
    for (int rep = 0; rep < options.reps; ++rep) {
        std::cerr << "  batch: repetition " << rep + 1 << "/" << options.reps << " (load " << loadAverage() << ")\n";
        for (auto& r : rows) {
            const std::size_t n = r.tools.size();
            for (std::size_t i = 0; i < n; ++i) {
                Tool& tool = r.tools[(i + static_cast<std::size_t>(rep)) % n];
                if (tool.failed) continue;
                if (const auto run = runOnce(tool, log)) tool.runs.push_back(*run);
            }
        }
    }

    out << photos.stems.size() << " photos; " << parallel << " at once (xargs -P " << parallel
        << ", krumple-cli's default job count); load average " << loadBefore << " before, " << loadAverage()
        << " after\n\n";
    bool ok = true;
    for (const auto& r : rows) ok = report(r, photos, options.reps, out) && ok;
    out << "\"largest process\": the biggest max RSS of any single process (wait4, which covers the processes\n"
           "xargs started). \"whole run\": the summed RSS of every process the run had alive at once, sampled\n"
           "every 20 ms; shared library pages count once per process, so \"anon\" (RSS less file-backed and\n"
           "shared pages) is given too. ImageMagick runs with its own default thread count.\n";
    return ok;
}

}  // namespace krumple::bench
