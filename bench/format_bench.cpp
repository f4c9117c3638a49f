#include "format_bench.h"

#include <iostream>
#include <string_view>

#include "picture_check.h"
#include "encoder.h"
#include "text_table.h"
#include "timed_variants.h"

namespace krumple::bench {

namespace {

constexpr double quality = 0.8;
constexpr int slowReps = 3;
constexpr double slowMs = 10'000;

struct SweepEntry {
    std::string group;
    std::string label;
    std::string ext;
    std::string options;  // for `vips copy`; empty means a heif-enc preset in `label`
    bool isDefault;       // libvips' own default for this saver
};

// The Q our converter hands a saver for quality 0.8, as "Q=n".
std::string q(OutputFormat format) {
    return "Q=" + std::to_string(optionsFor(format, quality).q);
}

// The speed settings worth comparing per saver, libvips' defaults marked.
std::vector<SweepEntry> sweep() {
    std::vector<SweepEntry> s;
    const std::string avif = q(OutputFormat::avif), jxl = q(OutputFormat::jxl), webp = q(OutputFormat::webp),
                      jpeg = q(OutputFormat::jpeg), heic = q(OutputFormat::heic);
    for (int e = 0; e <= 4; ++e)
        s.push_back({"avif (heifsave, aom)", "effort " + std::to_string(e), "avif",
                     avif + ",compression=av1,effort=" + std::to_string(e), e == 4});
    for (int e = 3; e <= 7; ++e)
        s.push_back({"jxl (jxlsave)", "effort " + std::to_string(e), "jxl", jxl + ",effort=" + std::to_string(e),
                     e == 7});
    for (int e : {0, 2, 4, 6})
        s.push_back({"webp (webpsave)", "effort " + std::to_string(e), "webp", webp + ",effort=" + std::to_string(e),
                     e == 4});
    s.push_back({"jpeg (jpegsave)", "plain", "jpg", jpeg, true});
    s.push_back({"jpeg (jpegsave)", "optimize_coding", "jpg", jpeg + ",optimize_coding", false});
    // libvips 8.14 filters no rows by default; zlib levels 1–3 take its fast path.
    s.push_back({"png (pngsave)", "compression 6, filter none", "png", "compression=6,filter=none", true});
    for (int c : {1, 2, 3, 6})
        s.push_back({"png (pngsave)", "compression " + std::to_string(c) + ", filter all", "png",
                     "compression=" + std::to_string(c) + ",filter=all", false});
    for (int e : {0, 4})
        s.push_back({"heic (heifsave, x265)", "effort " + std::to_string(e), "heic",
                     heic + ",compression=hevc,effort=" + std::to_string(e), e == 4});
    // x265's preset is out of libvips' reach; heif-enc shows what it would buy.
    for (const char* preset : {"slow", "medium", "ultrafast"})
        s.push_back({"heic (heif-enc, x265)", std::string("preset ") + preset, "heic", "", false});
    return s;
}

std::string psnrText(const std::filesystem::path& src, const std::filesystem::path& out) {
    const auto p = psnr(src, out);
    if (!p) return "-";
    return *p >= 99 ? "lossless" : fixed(*p, 2);
}

std::string relative(double value, double base) { return base > 0 ? fixed(value / base, 2) : "-"; }

}  // namespace

bool runSixFormats(const BenchOptions& options, std::ostream& out) {
    const auto src = largest(options.files);
    if (src.empty()) return false;
    const auto log = options.work / "format-child.log";
    bool ok = true;

    // Our converter, all six formats, the engine's own encoder settings.
    std::vector<Variant> ours;
    for (OutputFormat f : OutputFormat::allCases()) {
        const auto dst = options.work / ("six." + std::string(f.fileExtension()));
        ours.push_back({.group = std::string(f.rawValue()), .label = std::string(f.label()),
                        .argv = oursConvert(src, dst, f, quality), .output = dst});
    }
    runInterleaved(ours, options.reps, slowReps, slowMs, log, "six formats");

    const auto size = pictureSize(src);
    out << "Source: " << src.filename().string() << " (" << describe(size) << ", " << fileBytes(src)
        << " bytes), quality 0.8, VIPS_CONCURRENCY=1\n\n";
    TextTable six({"format", "wall ms", "cpu ms", "peak MB", "bytes", "bytes ÷ jpeg", "PSNR dB"});
    std::int64_t jpegBytes = 0;
    for (const auto& v : ours)
        if (v.group == "jpeg") jpegBytes = fileBytes(v.output);
    for (const auto& v : ours) {
        if (v.failed) ok = false;
        const auto bytes = fileBytes(v.output);
        six.add({v.group, v.failed ? "FAILED" : fixed(v.wallMs(), 0), fixed(v.cpuMs(), 0), fixed(v.peakMB(), 1),
                 std::to_string(bytes), relative(static_cast<double>(bytes), static_cast<double>(jpegBytes)),
                 psnrText(src, v.output)});
    }
    six.print(out);
    out << "\nmedians of " << options.reps << " runs (" << slowReps << " for formats slower than "
        << fixed(slowMs / 1000, 0) << " s), interleaved\n";
    return ok;
}

bool runEncoderSweep(const BenchOptions& options, std::ostream& out) {
    const auto src = largest(options.files);
    if (src.empty()) return false;
    const auto log = options.work / "sweep-child.log";
    bool ok = true;

    // The speed settings of each saver, through the peer tools.
    std::vector<Variant> alts;
    std::vector<bool> isDefault;
    int n = 0;
    for (const auto& e : sweep()) {
        const auto dst = options.work / ("sweep" + std::to_string(n++) + "." + e.ext);
        Argv argv = e.options.empty()
                        ? Argv{"heif-enc", "-q", std::to_string(optionsFor(OutputFormat::heic, quality).q), "-p",
                               "preset=" + e.label.substr(e.label.find(' ') + 1),
                               "-o", dst.string(), src.string()}
                        : vipsCopy(src, dst, e.options);
        alts.push_back({.group = e.group, .label = e.label, .argv = std::move(argv), .output = dst});
        isDefault.push_back(e.isDefault);
    }
    runInterleaved(alts, options.reps, slowReps, slowMs, log, "encoder settings");

    out << "Source: " << src.filename().string()
        << "; vips copy / heif-enc at the Q our converter uses for quality 0.8, VIPS_CONCURRENCY=1;\n"
           "\"÷ default\" is against libvips' default for that saver (marked *)\n\n";
    TextTable table({"saver", "setting", "runs", "wall ms", "cpu ms", "peak MB", "bytes", "time ÷ default",
                     "bytes ÷ default", "PSNR dB"},
                    2);
    for (std::size_t i = 0; i < alts.size(); ++i) {
        const auto& v = alts[i];
        const Variant* base = nullptr;
        for (std::size_t j = 0; j < alts.size(); ++j)
            if (isDefault[j] && alts[j].group.substr(0, 4) == v.group.substr(0, 4)) base = &alts[j];
        const auto bytes = fileBytes(v.output);
        const auto baseBytes = base ? fileBytes(base->output) : 0;
        table.add({v.group, v.label + (isDefault[i] ? " *" : ""), std::to_string(v.runs.size()),
                   v.failed ? "FAILED" : fixed(v.wallMs(), 0), fixed(v.cpuMs(), 0), fixed(v.peakMB(), 1),
                   std::to_string(bytes), base ? relative(v.wallMs(), base->wallMs()) : "-",
                   base ? relative(static_cast<double>(bytes), static_cast<double>(baseBytes)) : "-",
                   psnrText(src, v.output)});
    }
    table.print(out);
    out << "\nmedians of " << options.reps << " runs (" << slowReps << " for settings slower than "
        << fixed(slowMs / 1000, 0) << " s), interleaved\n";
    return ok;
}

}  // namespace krumple::bench
