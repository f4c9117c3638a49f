#include "peer_bench.h"

#include <algorithm>
#include <cmath>
#include <iostream>

#include "child_process.h"
#include "picture_check.h"
#include "stats.h"
#include "text_table.h"
#include "timed_variants.h"

#include <vips/vips8>

#include "image_io.h"
#include "encoder.h"

namespace krumple::bench {

namespace {

constexpr double quality = 0.8;
constexpr std::int64_t widthLimit = 2048;

struct Row {
    std::filesystem::path src;
    OutputFormat format;
    std::optional<std::int64_t> maxWidth;
    Argv ours{};
    Argv peer{};
    std::filesystem::path oursOut{};
    std::filesystem::path peerOut{};
    std::vector<ChildRun> oursRuns{};
    std::vector<ChildRun> peerRuns{};
    bool failed = false;
};

std::vector<Row> plan(const BenchOptions& options) {
    std::vector<Row> rows;
    int n = 0;
    for (const auto& src : options.files) {
        const auto upright = uprightSize(src);
        if (!upright) {
            std::cerr << "skipping unreadable " << src << '\n';
            continue;
        }
        for (OutputFormat format : {OutputFormat::webp, OutputFormat::jpeg}) {
            for (std::optional<std::int64_t> limit : {std::optional<std::int64_t>{}, std::optional{widthLimit}}) {
                Row r{.src = src, .format = format, .maxWidth = limit};
                const std::string ext(format.fileExtension());
                const std::string stem = "row" + std::to_string(n++);
                r.oursOut = options.work / (stem + "-ours." + ext);
                r.peerOut = options.work / (stem + "-vips." + ext);
                r.ours = oursConvert(src, r.oursOut, format, quality, limit);
                // The peer gets the Q our converter hands the same saver.
                const std::string q = "Q=" + std::to_string(optionsFor(format, quality).q);
                r.peer = limit ? vipsThumbnail(src, r.peerOut, q,
                                               decodeLongSide(upright->width, upright->height, limit))
                               : vipsCopy(src, r.peerOut, q);
                rows.push_back(std::move(r));
            }
        }
    }
    return rows;
}

void runOnce(Row& r, bool oursFirst, bool record, const std::filesystem::path& log) {
    auto ours = [&] {
        const auto run = runChild(r.ours, singleThreaded(), log);
        if (run.exitCode != 0) r.failed = true;
        if (record) r.oursRuns.push_back(run);
    };
    auto peer = [&] {
        const auto run = runChild(r.peer, singleThreaded(), log);
        if (run.exitCode != 0) r.failed = true;
        if (record) r.peerRuns.push_back(run);
    };
    if (oursFirst) {
        ours();
        peer();
    } else {
        peer();
        ours();
    }
}

template <typename F>
double med(const std::vector<ChildRun>& runs, F field) {
    std::vector<double> v;
    for (const auto& run : runs) v.push_back(field(run));
    return median(v);
}

std::string rowName(const Row& r) {
    return std::string(r.format.rawValue()) + (r.maxWidth ? " ≤" + std::to_string(*r.maxWidth) : " full");
}

// What every child process pays before converting anything, so the rows for
// small photos can be read: ours against the vips tool on a 16×16 picture.
void startupCosts(const BenchOptions& options, std::ostream& out) {
    const auto tiny = options.work / "tiny.jpg";
    ensureImageLibrary();
    vips::VImage::black(16, 16, vips::VImage::option()->set("bands", 3)).jpegsave(tiny.c_str());
    std::vector<Variant> vs{
        {.group = "ours", .label = "start libvips only", .argv = {selfPath().string(), "init"}},
        {.group = "ours", .label = "start + probe the six encoders", .argv = {selfPath().string(), "probe"}},
    };
    for (OutputFormat f : {OutputFormat::webp, OutputFormat::jpeg}) {
        const std::string ext(f.fileExtension());
        vs.push_back({.group = "ours", .label = "convert 16×16 → " + ext,
                      .argv = oursConvert(tiny, options.work / ("tiny-ours." + ext), f, quality)});
        vs.push_back({.group = "vips", .label = "copy 16×16 → " + ext,
                      .argv = vipsCopy(tiny, options.work / ("tiny-vips." + ext),
                                       "Q=" + std::to_string(optionsFor(f, quality).q))});
    }
    runInterleaved(vs, std::max(options.reps, 11), 3, 10'000, options.work / "startup.log", "start-up");
    TextTable t({"process", "what", "wall ms", "cpu ms", "peak MB"}, 2);
    for (const auto& v : vs)
        t.add({v.group, v.label, v.failed ? "FAILED" : fixed(v.wallMs(), 0), fixed(v.cpuMs(), 0), fixed(v.peakMB(), 1)});
    out << "\nFixed cost of one process (medians of " << std::max(options.reps, 11) << " runs):\n\n";
    t.print(out);
}

}  // namespace

bool runPeerBench(const BenchOptions& options, std::ostream& out) {
    auto rows = plan(options);
    const auto log = options.work / "peer-child.log";
    bool ok = true;

    // Warm-up pass: page cache, and the outputs to check before timing anything.
    for (auto& r : rows) runOnce(r, true, false, log);
    // Repetitions interleave ours and the peer, alternating who goes first,
    // and cycle through all rows so a burst of load hits both sides alike.
    for (int rep = 0; rep < options.reps; ++rep) {
        std::cerr << "  peers: repetition " << rep + 1 << "/" << options.reps << '\n';
        for (auto& r : rows) runOnce(r, rep % 2 == 0, true, log);
    }

    TextTable table({"file", "row", "size", "ours ms", "vips ms", "ratio", "ours MB", "vips MB", "mem ratio",
                     "ours bytes", "vips bytes", "bytes ratio"},
                    3);
    std::vector<double> timeRatios, memRatios;
    int timeOver = 0, memOver = 0;
    for (const auto& r : rows) {
        const auto oursSize = pictureSize(r.oursOut);
        const auto peerSize = pictureSize(r.peerOut);
        std::string size = describe(oursSize);
        if (r.failed) {
            size = "FAILED";
            ok = false;
        } else if (oursSize != peerSize) {
            size += " ≠ vips " + describe(peerSize);
            ok = false;
        }
        const double oursMs = med(r.oursRuns, [](const ChildRun& c) { return c.wallMs; });
        const double peerMs = med(r.peerRuns, [](const ChildRun& c) { return c.wallMs; });
        const double oursMB = med(r.oursRuns, [](const ChildRun& c) { return c.peakMB; });
        const double peerMB = med(r.peerRuns, [](const ChildRun& c) { return c.peakMB; });
        const double ratio = peerMs > 0 ? oursMs / peerMs : 0;
        const double memRatio = peerMB > 0 ? oursMB / peerMB : 0;
        const auto oursBytes = fileBytes(r.oursOut);
        const auto peerBytes = fileBytes(r.peerOut);
        timeRatios.push_back(ratio);
        memRatios.push_back(memRatio);
        if (ratio > 1.10) ++timeOver;
        if (memRatio > 1.20) ++memOver;
        table.add({r.src.filename().string(), rowName(r), size, fixed(oursMs, 0), fixed(peerMs, 0),
                   fixed(ratio, 2), fixed(oursMB, 1), fixed(peerMB, 1), fixed(memRatio, 2),
                   std::to_string(oursBytes), std::to_string(peerBytes),
                   peerBytes > 0 ? fixed(static_cast<double>(oursBytes) / static_cast<double>(peerBytes), 3)
                                 : "-"});
    }
    table.print(out);

    auto geomean = [](const std::vector<double>& v) {
        double s = 0;
        for (double x : v) s += std::log(std::max(x, 1e-9));
        return v.empty() ? 0 : std::exp(s / static_cast<double>(v.size()));
    };
    auto worst = [](const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); };
    out << "\nrows: " << rows.size() << "; medians of " << options.reps
        << " interleaved runs each; VIPS_CONCURRENCY=1 for ours and vips\n"
        << "time ratio (ours ÷ vips): geometric mean " << fixed(geomean(timeRatios), 3) << ", worst "
        << fixed(worst(timeRatios), 3) << ", rows over 1.10: " << timeOver << '\n'
        << "peak memory ratio: geometric mean " << fixed(geomean(memRatios), 3) << ", worst "
        << fixed(worst(memRatios), 3) << ", rows over 1.20: " << memOver << '\n';
    startupCosts(options, out);
    return ok;
}

}  // namespace krumple::bench
