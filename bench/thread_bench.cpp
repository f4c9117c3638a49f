#include "thread_bench.h"

#include <iostream>
#include <thread>

#include "child_process.h"
#include "stats.h"
#include "text_table.h"
#include "timed_variants.h"

namespace krumple::bench {

namespace {

constexpr double quality = 0.8;
constexpr int parallelJobs = 2;  // one per core on this machine

std::string ratio(double a, double b) { return b > 0 ? fixed(a / b, 2) : "-"; }

bool singleConversions(const BenchOptions& options, std::ostream& out) {
    const auto src = largest(options.files);
    std::vector<Variant> vs;
    // HEIC is left out: x265 runs its own thread pool whatever libvips is told.
    for (OutputFormat f : {OutputFormat::jpeg, OutputFormat::webp, OutputFormat::avif, OutputFormat::jxl})
        for (int threads : {1, 2}) {
            const auto dst = options.work / ("threads" + std::to_string(threads) + "." + std::string(f.fileExtension()));
            vs.push_back({.group = std::string(f.rawValue()), .label = std::to_string(threads),
                          .argv = oursConvert(src, dst, f, quality), .output = dst, .env = withConcurrency(threads)});
        }
    runInterleaved(vs, options.reps, 3, 10'000, options.work / "thread-child.log", "concurrency, one conversion");

    out << "One conversion of " << src.filename().string()
        << " at a time by our converter on the machine's 2 cores, quality 0.8, VIPS_CONCURRENCY 1 or 2\n\n";
    TextTable t({"format", "conc 1 wall ms", "conc 1 cpu ms", "conc 2 wall ms", "conc 2 cpu ms",
                 "wall 2 ÷ 1", "cpu 2 ÷ 1"});
    bool ok = true;
    for (std::size_t i = 0; i + 1 < vs.size(); i += 2) {
        const auto& one = vs[i];
        const auto& two = vs[i + 1];
        if (one.failed || two.failed) ok = false;
        t.add({one.group, fixed(one.wallMs(), 0), fixed(one.cpuMs(), 0), fixed(two.wallMs(), 0),
               fixed(two.cpuMs(), 0), ratio(two.wallMs(), one.wallMs()), ratio(two.cpuMs(), one.cpuMs())});
    }
    t.print(out);
    return ok;
}

bool batches(const BenchOptions& options, std::ostream& out) {
    const int reps = std::max(1, std::min(options.reps, 3));
    TextTable t({"batch", "conc 1 wall ms", "conc 2 wall ms", "wall 2 ÷ 1", "conc 1 cpu ms", "conc 2 cpu ms"});
    bool ok = true;
    for (OutputFormat f : {OutputFormat::webp, OutputFormat::jxl, OutputFormat::avif}) {
        std::vector<Argv> jobs;
        int n = 0;
        for (const auto& src : options.files)
            jobs.push_back(oursConvert(src, options.work / ("batch" + std::to_string(n++) + "." + std::string(f.fileExtension())),
                                       f, quality));
        std::vector<double> wall[2], cpu[2];
        for (int rep = 0; rep < reps; ++rep) {
            std::cerr << "  concurrency, " << f.rawValue() << " batch: repetition " << rep + 1 << "/" << reps << '\n';
            for (int k : {rep % 2, 1 - rep % 2}) {
                const auto run = runBatch(jobs, parallelJobs, withConcurrency(k + 1), options.work / "batch.log");
                if (!run.ok) ok = false;
                wall[k].push_back(run.wallMs);
                cpu[k].push_back(run.cpuMs);
            }
        }
        t.add({std::to_string(jobs.size()) + " photos → " + std::string(f.rawValue()), fixed(median(wall[0]), 0),
               fixed(median(wall[1]), 0), ratio(median(wall[1]), median(wall[0])), fixed(median(cpu[0]), 0),
               fixed(median(cpu[1]), 0)});
    }
    out << "\nWhole corpus, " << parallelJobs << " conversions at a time (one per core, as the app runs a batch), "
        << "medians of " << reps << " runs\n\n";
    t.print(out);
    return ok;
}

}  // namespace

bool runThreadBench(const BenchOptions& options, std::ostream& out) {
    const bool a = singleConversions(options, out);
    const bool b = batches(options, out);
    return a && b;
}

}  // namespace krumple::bench
