#include "heif_sweep.h"

#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <optional>
#include <stdexcept>

#include "butteraugli_distance.h"
#include "child_process.h"
#include "stats.h"
#include "text_table.h"

namespace krumple::bench {

namespace {

namespace fs = std::filesystem;

struct Setting {
    std::string label;  // the axes' values, or the baseline's name
    EncoderParams params;
    std::optional<int> q;  // none: the baseline, at quality 0.8 through the engine
};

struct Measured {
    std::vector<double> cpuMs;  // one per repetition
    double bytes = 0;
    double distance = 0;
    double peakMB = 0;
};

std::vector<Setting> settingsOf(const SweepOptions& o) {
    std::vector<EncoderParams> combos{o.fixed};
    std::vector<std::string> labels{""};
    for (const auto& [name, values] : o.axes) {
        std::vector<EncoderParams> nextCombos;
        std::vector<std::string> nextLabels;
        for (std::size_t i = 0; i < combos.size(); ++i)
            for (const auto& v : values) {
                nextCombos.push_back(combos[i]);
                nextCombos.back().emplace_back(name, v);
                nextLabels.push_back(labels[i] + (labels[i].empty() ? "" : " ") + name + "=" + v);
            }
        combos = std::move(nextCombos);
        labels = std::move(nextLabels);
    }
    std::vector<Setting> out{{"heifsave (today)", {}, std::nullopt}};
    for (std::size_t i = 0; i < combos.size(); ++i)
        for (int q : o.qs) out.push_back({labels[i], combos[i], q});
    return out;
}

std::vector<std::string> encodeCommand(const SweepOptions& o, const Setting& s, const fs::path& source,
                                       const fs::path& output) {
    const bool hevc = o.codec == HeifCodec::hevc;
    std::vector<std::string> argv{selfPath().string(), "encode", source.string(), output.string()};
    if (!s.q) {
        argv.push_back(hevc ? "vips-heic" : "vips-avif");
        argv.push_back("0.8");
        return argv;
    }
    argv.push_back(hevc ? "heic" : "avif");
    argv.push_back(std::to_string(*s.q));
    for (const auto& [name, value] : s.params) argv.push_back(name + "=" + value);
    return argv;
}

// The encode child prints "RESULT <cpu ms> <bytes>"; encoders may log around it.
std::pair<double, double> resultFrom(const fs::path& log) {
    std::ifstream in(log);
    std::string word;
    while (in >> word)
        if (word == "RESULT") {
            double cpu = 0, bytes = 0;
            if (in >> cpu >> bytes) return {cpu, bytes};
        }
    throw std::runtime_error("encode failed, see " + log.string());
}

std::string qText(const Setting& s) { return s.q ? std::to_string(*s.q) : "0.8"; }

}  // namespace

void runSweep(const SweepOptions& o, std::ostream& out) {
    fs::create_directories(o.work);
    const auto settings = settingsOf(o);
    const std::map<std::string, std::string> env{{"VIPS_CONCURRENCY", "1"}};
    std::vector<std::vector<Measured>> results(o.photos.size(), std::vector<Measured>(settings.size()));
    std::vector<Rgb> sources;
    for (std::size_t p = 0; p < o.photos.size(); ++p) {
        sources.push_back(decodePhoto(o.photos[p], o.maxWidth));
        writePpm(sources.back(), o.work / ("source" + std::to_string(p) + ".ppm"));
        std::cerr << o.photos[p].filename().string() << ": " << sources.back().width << "x" << sources.back().height
                  << "\n";
    }
    for (int rep = 0; rep < o.reps; ++rep)
        for (std::size_t p = 0; p < o.photos.size(); ++p)
            for (std::size_t i = 0; i < settings.size(); ++i) {
                const auto source = o.work / ("source" + std::to_string(p) + ".ppm");
                const auto output = o.work / "out.heif";
                const auto log = o.work / "encode.log";
                const ChildRun run = runChild(encodeCommand(o, settings[i], source, output), env, log);
                if (run.exitCode != 0) throw std::runtime_error("encode child failed, see " + log.string());
                const auto [cpuMs, bytes] = resultFrom(log);
                Measured& m = results[p][i];
                m.cpuMs.push_back(cpuMs);
                m.peakMB = std::max(m.peakMB, run.peakMB);
                if (rep == 0) {
                    m.bytes = bytes;
                    if (o.butteraugli) m.distance = butteraugli3Norm(sources[p], decodeHeif(readBytes(output)));
                }
                std::cerr << "rep " << rep + 1 << " " << o.photos[p].filename().string() << " | "
                          << settings[i].label << " Q " << qText(settings[i]) << " | " << fixed(cpuMs, 0) << " ms, "
                          << m.bytes << " B, BA " << fixed(m.distance, 3) << ", " << fixed(run.peakMB, 0)
                          << " MB\n";
            }

    // Over the photos: CPU and bytes summed, Butteraugli averaged, peak the largest.
    struct Total {
        double cpuMs = 0, bytes = 0, distance = 0, peakMB = 0;
    };
    std::vector<Total> totals(settings.size());
    for (std::size_t i = 0; i < settings.size(); ++i)
        for (std::size_t p = 0; p < o.photos.size(); ++p) {
            const Measured& m = results[p][i];
            totals[i].cpuMs += median(m.cpuMs);
            totals[i].bytes += m.bytes;
            totals[i].distance += m.distance / static_cast<double>(o.photos.size());
            totals[i].peakMB = std::max(totals[i].peakMB, m.peakMB);
        }

    TextTable all({"setting", "Q", "CPU s", "bytes", "Butteraugli 3-norm", "peak MB"}, 2);
    for (std::size_t i = 0; i < settings.size(); ++i)
        all.add({settings[i].label, qText(settings[i]), fixed(totals[i].cpuMs / 1e3, 2),
                 fixed(totals[i].bytes, 0), o.butteraugli ? fixed(totals[i].distance, 3) : "-",
                 fixed(totals[i].peakMB, 0)});
    all.print(out);
    if (!o.butteraugli) return;

    const Total& base = totals.front();
    out << "\nMatched: per setting, the Q with the fewest bytes whose Butteraugli is at most today's ("
        << fixed(base.distance, 3) << ").\n\n";
    TextTable matched({"setting", "Q", "CPU ratio", "bytes ratio", "Butteraugli today / candidate", "peak ratio"}, 2);
    std::map<std::string, std::size_t> best;
    for (std::size_t i = 1; i < settings.size(); ++i) {
        if (totals[i].distance > base.distance) continue;
        auto [it, added] = best.try_emplace(settings[i].label, i);
        if (!added && totals[i].bytes < totals[it->second].bytes) it->second = i;
    }
    for (const auto& [label, i] : best)
        matched.add({label, qText(settings[i]), fixed(totals[i].cpuMs / base.cpuMs, 2),
                     fixed(totals[i].bytes / base.bytes, 3),
                     fixed(base.distance, 3) + " / " + fixed(totals[i].distance, 3),
                     fixed(totals[i].peakMB / base.peakMB, 2)});
    matched.print(out);
}

}  // namespace krumple::bench
