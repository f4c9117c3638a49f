#include "timed_variants.h"

#include <fstream>
#include <iostream>

#include "stats.h"

namespace krumple::bench {

namespace {
template <typename F>
double med(const std::vector<ChildRun>& runs, F field) {
    std::vector<double> v;
    for (const auto& run : runs) v.push_back(field(run));
    return median(v);
}
}  // namespace

double Variant::wallMs() const { return med(runs, [](const ChildRun& c) { return c.wallMs; }); }
double Variant::cpuMs() const { return med(runs, [](const ChildRun& c) { return c.cpuMs; }); }
double Variant::peakMB() const { return med(runs, [](const ChildRun& c) { return c.peakMB; }); }

void runInterleaved(std::vector<Variant>& variants, int reps, int slowReps, double slowMs,
                    const std::filesystem::path& log, const std::string& what) {
    if (variants.empty()) return;
    runChild(variants.front().argv, variants.front().env, log);
    for (int rep = 0; rep < reps; ++rep) {
        std::cerr << "  " << what << ": repetition " << rep + 1 << "/" << reps << '\n';
        for (auto& v : variants) {
            const bool slow = !v.runs.empty() && v.runs.front().wallMs > slowMs;
            if (v.failed || (slow && rep >= slowReps)) continue;
            const auto run = runChild(v.argv, v.env, log);
            if (run.exitCode != 0) {
                v.failed = true;
                std::ifstream text(log);
                std::cerr << "  failed: " << v.group << " " << v.label << ":\n" << text.rdbuf() << '\n';
                continue;
            }
            v.runs.push_back(run);
        }
    }
}

}  // namespace krumple::bench
