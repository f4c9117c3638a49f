#include "heif_sweep.h"

#include <cmath>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "butteraugli_distance.h"
#include "child_process.h"
#include "stats.h"
#include "text_table.h"

namespace krumple::bench {

namespace {

namespace fs = std::filesystem;

struct Setting {
    std::string label;  // the axes' and variant's values, or the baseline's name
    EncoderParams params;
    std::optional<int> q;       // none (and no crf): the baseline or the engine, at quality 0.8
    std::optional<double> crf;  // x265 crf with a fraction, instead of q
    bool engine = false;        // the engine's encoder rather than the baseline
};

const Setting baseline{"heifsave (before)", {}, std::nullopt, std::nullopt, false};
const Setting engineRow{"engine (libheif)", {}, std::nullopt, std::nullopt, true};

struct Measured {
    std::vector<double> cpuMs;  // one per repetition
    double bytes = 0;
    double distance = 0;
    double peakMB = 0;
};

using PerPhoto = std::vector<Measured>;

// x265 3.5 floors crf on a single picture (crf 28.9 writes crf 28's file),
// but scales the I picture's qscale by 1/ipratio before rounding QP per
// block: ipratio = 1.4 × 2^(-f/6) moves it f crf steps, exactly (crf 28 at
// ipratio 1.4 × 2^(-1/6) writes crf 29's file).
constexpr double x265IpRatio = 1.4;
int wholeCrf(double crf) { return static_cast<int>(std::floor(crf + 1e-9)); }
double ipRatioFor(double crf) { return x265IpRatio * std::pow(2.0, -(crf - wholeCrf(crf)) / 6.0); }

std::vector<std::pair<std::string, EncoderParams>> combosOf(const SweepOptions& o) {
    std::vector<std::pair<std::string, EncoderParams>> combos{{"", o.fixed}};
    const auto join = [](const std::string& a, const std::string& b) { return a + (a.empty() ? "" : " ") + b; };
    for (const auto& [name, values] : o.axes) {
        std::vector<std::pair<std::string, EncoderParams>> next;
        for (const auto& [label, params] : combos)
            for (const auto& v : values) {
                next.emplace_back(join(label, name + "=" + v), params);
                next.back().second.emplace_back(name, v);
            }
        combos = std::move(next);
    }
    if (o.variants.empty()) return combos;
    std::vector<std::pair<std::string, EncoderParams>> next;
    for (const auto& [label, params] : combos)
        for (const auto& variant : o.variants) {
            std::string text;
            for (const auto& [name, value] : variant) text = join(text, name + "=" + value);
            next.emplace_back(join(label, text.empty() ? "(as is)" : text), params);
            next.back().second.insert(next.back().second.end(), variant.begin(), variant.end());
        }
    return next;
}

std::vector<Setting> gridOf(const SweepOptions& o) {
    std::vector<Setting> out{baseline};
    if (o.engine) out.push_back(engineRow);
    if (o.qs.empty() && o.crfs.empty()) return out;
    for (const auto& [label, params] : combosOf(o)) {
        for (int q : o.qs) out.push_back({label, params, q, std::nullopt, false});
        for (double crf : o.crfs) out.push_back({label, params, std::nullopt, crf, false});
    }
    return out;
}

std::string number(double v) {
    std::ostringstream text;
    text << std::setprecision(6) << v;
    return text.str();
}

std::vector<std::string> encodeCommand(const SweepOptions& o, const Setting& s, const fs::path& source,
                                       const fs::path& output) {
    const bool hevc = o.codec == HeifCodec::hevc;
    std::vector<std::string> argv{selfPath().string(), "encode", source.string(), output.string()};
    if (!s.q && !s.crf) {
        argv.push_back(std::string(s.engine ? "engine-" : "heifsave-") + (hevc ? "heic" : "avif"));
        argv.push_back("0.8");
        return argv;
    }
    argv.push_back(hevc ? "heic" : "avif");
    // libheif's crf is (100 - Q) / 2, so the whole step goes through Q as the engine would set it.
    argv.push_back(std::to_string(s.q ? *s.q : 100 - 2 * wholeCrf(*s.crf)));
    for (const auto& [name, value] : s.params) argv.push_back(name + "=" + value);
    if (s.crf) argv.push_back("x265:ipratio=" + number(ipRatioFor(*s.crf)));
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

std::string qText(const Setting& s) {
    if (s.q) return std::to_string(*s.q);
    if (s.crf) return "crf " + fixed(*s.crf, 3);
    return "0.8";
}

struct Total {
    double cpuMs = 0, bytes = 0, distance = 0, peakMB = 0;
};

// Over the photos: CPU and bytes summed, Butteraugli averaged, peak the largest.
Total totalOf(const PerPhoto& m) {
    Total t;
    for (const Measured& one : m) {
        t.cpuMs += median(one.cpuMs);
        t.bytes += one.bytes;
        t.distance += one.distance / static_cast<double>(m.size());
        t.peakMB = std::max(t.peakMB, one.peakMB);
    }
    return t;
}

int photosWorse(const PerPhoto& m, const PerPhoto& base) {
    int worse = 0;
    for (std::size_t p = 0; p < m.size(); ++p) worse += m[p].distance > base[p].distance ? 1 : 0;
    return worse;
}

bool matches(const PerPhoto& m, const PerPhoto& base, bool everyPhoto) {
    return everyPhoto ? photosWorse(m, base) == 0 : totalOf(m).distance <= totalOf(base).distance;
}

class Runner {
public:
    explicit Runner(const SweepOptions& o) : o_(o) {
        fs::create_directories(o.work);
        for (std::size_t p = 0; p < o.photos.size(); ++p) {
            sources_.push_back(decodePhoto(o.photos[p], o.maxWidth));
            writePpm(sources_.back(), sourcePath(p));
            std::cerr << o.photos[p].filename().string() << ": " << sources_.back().width << "x"
                      << sources_.back().height << "\n";
        }
    }

    std::size_t photoCount() const { return sources_.size(); }

    void measureOnce(const Setting& s, std::size_t p, int rep, Measured& m) {
        const auto output = o_.work / "out.heif";
        const auto log = o_.work / "encode.log";
        const ChildRun run = runChild(encodeCommand(o_, s, sourcePath(p), output), env_, log);
        if (run.exitCode != 0) throw std::runtime_error("encode child failed, see " + log.string());
        const auto [cpuMs, bytes] = resultFrom(log);
        m.cpuMs.push_back(cpuMs);
        m.peakMB = std::max(m.peakMB, run.peakMB);
        if (rep == 0) {
            m.bytes = bytes;
            if (o_.butteraugli) m.distance = butteraugli3Norm(sources_[p], decodeHeif(readBytes(output)));
        }
        std::cerr << "rep " << rep + 1 << " " << o_.photos[p].filename().string() << " | " << s.label << " Q "
                  << qText(s) << " | " << fixed(cpuMs, 0) << " ms, " << m.bytes << " B, BA "
                  << fixed(m.distance, 3) << ", " << fixed(run.peakMB, 0) << " MB\n";
    }

    PerPhoto measure(const Setting& s) {
        PerPhoto m(sources_.size());
        for (int rep = 0; rep < o_.reps; ++rep)
            for (std::size_t p = 0; p < sources_.size(); ++p) measureOnce(s, p, rep, m[p]);
        return m;
    }

private:
    fs::path sourcePath(std::size_t p) const { return o_.work / ("source" + std::to_string(p) + ".ppm"); }

    const SweepOptions& o_;
    std::vector<Rgb> sources_;
    const std::map<std::string, std::string> env_{{"VIPS_CONCURRENCY", "1"}};
};

void printAll(const SweepOptions& o, const std::vector<Setting>& settings, const std::vector<PerPhoto>& results,
              std::ostream& out) {
    TextTable all({"setting", "Q", "CPU s", "bytes", "Butteraugli 3-norm", "photos worse", "peak MB"}, 2);
    for (std::size_t i = 0; i < settings.size(); ++i) {
        const Total t = totalOf(results[i]);
        all.add({settings[i].label, qText(settings[i]), fixed(t.cpuMs / 1e3, 2), fixed(t.bytes, 0),
                 o.butteraugli ? fixed(t.distance, 3) : "-",
                 o.butteraugli && i > 0 ? std::to_string(photosWorse(results[i], results[0])) : "-",
                 fixed(t.peakMB, 0)});
    }
    all.print(out);
}

// Rows are indices into settings/results; 0 is the baseline.
void printMatched(const SweepOptions& o, const std::vector<Setting>& settings,
                  const std::vector<PerPhoto>& results, const std::vector<std::size_t>& rows, std::ostream& out) {
    const Total base = totalOf(results[0]);
    TextTable matched({"setting", "Q", "Q at 0.8", "CPU ratio", "bytes ratio", "Butteraugli today / candidate",
                       "photos worse", "peak ratio"},
                      2);
    for (std::size_t i : rows) {
        const Total t = totalOf(results[i]);
        const std::string q = settings[i].crf ? fixed(100 - 2 * *settings[i].crf, 2)
                              : settings[i].q ? fixed(*settings[i].q, 2)
                                              : "0.8";
        matched.add({settings[i].label, qText(settings[i]), q, fixed(t.cpuMs / base.cpuMs, 2),
                     fixed(t.bytes / base.bytes, 3), fixed(base.distance, 3) + " / " + fixed(t.distance, 3),
                     std::to_string(photosWorse(results[i], results[0])) + " of " +
                         std::to_string(o.photos.size()),
                     fixed(t.peakMB / base.peakMB, 2)});
    }
    matched.print(out);

    out << "\nPer photo at those points:\n\n";
    TextTable perPhoto({"setting", "photo", "CPU ratio", "bytes ratio", "Butteraugli today / candidate"}, 2);
    for (std::size_t i : rows)
        for (std::size_t p = 0; p < o.photos.size(); ++p) {
            const Measured& b = results[0][p];
            const Measured& m = results[i][p];
            perPhoto.add({settings[i].label + " " + qText(settings[i]), o.photos[p].filename().string(),
                          fixed(median(m.cpuMs) / median(b.cpuMs), 2), fixed(m.bytes / b.bytes, 3),
                          fixed(b.distance, 3) + " / " + fixed(m.distance, 3)});
        }
    perPhoto.print(out);
}

// Per label, the point with the fewest bytes that matches.
std::vector<std::size_t> matchedRows(const std::vector<Setting>& settings, const std::vector<PerPhoto>& results,
                                     bool everyPhoto) {
    std::map<std::string, std::size_t> best;
    for (std::size_t i = 1; i < settings.size(); ++i) {
        if (!matches(results[i], results[0], everyPhoto)) continue;
        auto [it, added] = best.try_emplace(settings[i].label, i);
        if (!added && totalOf(results[i]).bytes < totalOf(results[it->second]).bytes)
            it->second = i;
    }
    std::vector<std::size_t> rows;
    for (const auto& [label, i] : best) rows.push_back(i);
    return rows;
}

void runGrid(const SweepOptions& o, Runner& runner, std::ostream& out) {
    const auto settings = gridOf(o);
    std::vector<PerPhoto> results(settings.size(), PerPhoto(runner.photoCount()));
    // Repetitions outermost, so load changes spread over every setting.
    for (int rep = 0; rep < o.reps; ++rep)
        for (std::size_t p = 0; p < runner.photoCount(); ++p)
            for (std::size_t i = 0; i < settings.size(); ++i) runner.measureOnce(settings[i], p, rep, results[i][p]);
    printAll(o, settings, results, out);
    if (o.engine) {
        out << "\nThe engine against heifsave as before:\n\n";
        printMatched(o, settings, results, {1}, out);
    }
    if (!o.butteraugli || settings.size() <= (o.engine ? 2u : 1u)) return;
    out << "\nMatched over the mean: per setting, the point with the fewest bytes whose mean Butteraugli is at "
           "most today's.\n\n";
    printMatched(o, settings, results, matchedRows(settings, results, false), out);
    out << "\nMatched photo by photo: the fewest bytes with every photo's Butteraugli at most today's.\n\n";
    printMatched(o, settings, results, matchedRows(settings, results, true), out);
}

// Halves [low, high] `steps` times per setting: a matching crf moves low up.
void runBisection(const SweepOptions& o, Runner& runner, std::ostream& out) {
    if (o.crfs.size() != 2 || !o.butteraugli) throw std::runtime_error("bisection needs --match-crf LOW,HIGH");
    std::vector<Setting> settings{baseline};
    std::vector<PerPhoto> results{runner.measure(settings[0])};
    std::vector<std::size_t> rows;
    TextTable brackets({"setting", "matches at crf", "fails at crf"}, 1);
    for (const auto& [label, params] : combosOf(o)) {
        double low = o.crfs[0], high = o.crfs[1];
        std::optional<std::size_t> best;
        for (int step = 0; step < o.steps; ++step) {
            const double crf = (low + high) / 2;
            settings.push_back({label, params, std::nullopt, crf, false});
            results.push_back(runner.measure(settings.back()));
            if (matches(results.back(), results[0], o.everyPhoto)) {
                low = crf;
                best = settings.size() - 1;
            } else {
                high = crf;
            }
        }
        if (best) rows.push_back(*best);
        brackets.add({label, best ? fixed(low, 3) : "below " + fixed(o.crfs[0], 3), fixed(high, 3)});
    }
    printAll(o, settings, results, out);
    out << "\nBisection over crf " << fixed(o.crfs[0], 2) << "-" << fixed(o.crfs[1], 2) << ", " << o.steps
        << " steps, matching " << (o.everyPhoto ? "every photo" : "the mean") << ":\n\n";
    brackets.print(out);
    out << "\nMatched:\n\n";
    printMatched(o, settings, results, rows, out);
}

}  // namespace

void runSweep(const SweepOptions& o, std::ostream& out) {
    Runner runner(o);
    if (o.bisect) runBisection(o, runner, out);
    else runGrid(o, runner, out);
}

}  // namespace krumple::bench
