// krumple-bench-quality: finds, for each lossy saver, the Q that matches
// JPEG's visual quality (mean SSIM on luma) at each point of our quality
// scale, over a few photos.
//
//   krumple-bench-quality [--work DIR] PHOTO...
//
// Each photo is shrunk once to 1024 px on its long side and kept as a PNG in
// DIR (default /tmp/krumple-bench-quality). Tables go to stdout as Markdown,
// progress to stderr.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "image_io.h"
#include "output_format.h"
#include "encoder.h"
#include "ssim.h"
#include "text_table.h"

namespace {

namespace fs = std::filesystem;
using krumple::OutputFormat;
using krumple::bench::fixed;
using krumple::bench::TextTable;
using vips::VImage;

constexpr int longSide = 1024;
// The points of our quality scale the engine's table holds.
const std::vector<double> qualities{0.05, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 0.95, 1.0};
const std::vector<OutputFormat> mapped{OutputFormat::webp, OutputFormat::heic, OutputFormat::avif,
                                       OutputFormat::jxl};

// jxlsave turns Q 4 and below into a distance libjxl refuses, and libjxl then
// quietly encodes at its default distance (about Q 90).
int lowestQ(OutputFormat format) { return format == OutputFormat::jxl ? 5 : 1; }

std::vector<int> grid(OutputFormat format) {
    std::vector<int> qs{lowestQ(format)};
    for (int q = 5; q <= 100; q += 5)
        if (q > qs.back()) qs.push_back(q);
    return qs;
}

// Shrinks once; later runs reuse the PNG.
VImage prepare(const fs::path& photo, const fs::path& work) {
    const fs::path png = work / (photo.stem().string() + ".png");
    if (!fs::exists(png)) {
        VImage small = VImage::thumbnail(photo.c_str(), longSide);
        small.pngsave(png.c_str(), VImage::option()->set("strip", true));
    }
    VImage image = VImage::new_from_file(png.c_str()).copy_memory();
    if (image.format() != VIPS_FORMAT_UCHAR || image.bands() != 3)
        throw std::runtime_error(png.string() + ": want 8-bit RGB");
    return image;
}

struct Measure {
    double ssim = 0;          // mean over the photos
    std::int64_t bytes = 0;   // sum over the photos
};

class Calibration {
public:
    explicit Calibration(std::vector<VImage> sources) : sources_(std::move(sources)) {}

    // Every photo through the engine's own saver options at libvips' `q`.
    const Measure& at(OutputFormat format, int q) {
        const auto key = std::pair(static_cast<int>(format), q);
        if (auto found = cache_.find(key); found != cache_.end()) return found->second;
        Measure m;
        for (const VImage& source : sources_) {
            krumple::EncodeOptions options;
            options.q = q;
            const krumple::Blob blob = krumple::encodeToMemory(source, format, options);
            const VImage decoded = VImage::new_from_buffer(blob.data(), blob.size(), "").copy_memory();
            m.ssim += krumple::bench::meanSsim(source, decoded);
            m.bytes += static_cast<std::int64_t>(blob.size());
        }
        m.ssim /= static_cast<double>(sources_.size());
        std::cerr << format.label() << " Q " << q << ": SSIM " << fixed(m.ssim, 5) << ", " << m.bytes
                  << " bytes\n";
        return cache_.emplace(key, m).first->second;
    }

    // The Q whose mean SSIM is nearest `target`: a straight line through the
    // bracketing grid points gives a guess, measured and narrowed until the
    // bracket is one step wide.
    int match(OutputFormat format, double target) {
        const std::vector<int> points = grid(format);
        if (target <= at(format, points.front()).ssim) return points.front();
        if (target >= at(format, points.back()).ssim) return points.back();
        // The first grid point that reaches the target; SSIM may wobble, so
        // later ones are not trusted to stay above it.
        std::size_t i = 1;
        while (at(format, points[i]).ssim < target) ++i;
        int lo = points[i - 1];
        int hi = points[i];
        while (hi - lo > 1) {
            const double sLo = at(format, lo).ssim;
            const double sHi = at(format, hi).ssim;
            const double guess = lo + (target - sLo) / (sHi - sLo) * (hi - lo);
            const int mid = std::clamp(static_cast<int>(std::lround(guess)), lo + 1, hi - 1);
            (at(format, mid).ssim < target ? lo : hi) = mid;
        }
        const double below = target - at(format, lo).ssim;
        const double above = at(format, hi).ssim - target;
        return below < above ? lo : hi;
    }

private:
    std::vector<VImage> sources_;
    std::map<std::pair<int, int>, Measure> cache_;
};

int jpegQ(double quality) { return krumple::optionsFor(OutputFormat::jpeg, quality).q; }

std::string kilobytes(std::int64_t bytes) { return std::to_string((bytes + 500) / 1000); }

int usage() {
    std::cerr << "usage: krumple-bench-quality [--work DIR] PHOTO...\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path work = "/tmp/krumple-bench-quality";
    std::vector<fs::path> photos;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--work" && i + 1 < argc)
            work = argv[++i];
        else if (arg.starts_with("-"))
            return usage();
        else
            photos.emplace_back(arg);
    }
    if (photos.empty()) return usage();
    krumple::ensureImageLibrary();

    try {
        fs::create_directories(work);
        std::vector<VImage> sources;
        for (const auto& p : photos) sources.push_back(prepare(p, work));
        Calibration cal(std::move(sources));

        // For each saver, the matched Q per quality point, never falling as
        // quality rises, and the saver's best at 1.0.
        std::map<int, std::vector<int>> chosen;
        for (OutputFormat f : mapped) {
            std::vector<int> qs;
            for (double quality : qualities) {
                const double target = cal.at(OutputFormat::jpeg, jpegQ(quality)).ssim;
                int q = quality >= 1.0 ? 100 : cal.match(f, target);
                if (!qs.empty()) q = std::max(q, qs.back());
                qs.push_back(q);
            }
            chosen[static_cast<int>(f)] = qs;
        }

        std::vector<std::string> header{"quality", "JPEG Q", "JPEG SSIM"};
        for (OutputFormat f : mapped) header.push_back(std::string(f.label()) + " Q");
        TextTable table(header);
        std::vector<std::string> achievedHeader{"quality", "JPEG"};
        for (OutputFormat f : mapped) achievedHeader.emplace_back(f.label());
        TextTable achieved(achievedHeader);
        TextTable sizes(achievedHeader);
        TextTable before(achievedHeader);
        for (std::size_t i = 0; i < qualities.size(); ++i) {
            const double quality = qualities[i];
            const Measure& jpeg = cal.at(OutputFormat::jpeg, jpegQ(quality));
            std::vector<std::string> row{fixed(quality, 2), std::to_string(jpegQ(quality)), fixed(jpeg.ssim, 4)};
            std::vector<std::string> ssimRow{fixed(quality, 2), fixed(jpeg.ssim, 4)};
            std::vector<std::string> sizeRow{fixed(quality, 2), kilobytes(jpeg.bytes)};
            std::vector<std::string> beforeRow{fixed(quality, 2), kilobytes(jpeg.bytes)};
            for (OutputFormat f : mapped) {
                const int q = chosen[static_cast<int>(f)][i];
                row.push_back(std::to_string(q));
                ssimRow.push_back(fixed(cal.at(f, q).ssim, 4));
                sizeRow.push_back(kilobytes(cal.at(f, q).bytes));
                const Measure& old = cal.at(f, jpegQ(quality));
                beforeRow.push_back(kilobytes(old.bytes) + " (" + fixed(old.ssim, 4) + ")");
            }
            table.add(row);
            achieved.add(ssimRow);
            sizes.add(sizeRow);
            before.add(beforeRow);
        }

        std::vector<std::string> curvesHeader = achievedHeader;
        curvesHeader.front() = "libvips Q";
        TextTable curves(curvesHeader);
        for (int q : grid(OutputFormat::webp)) {
            std::vector<std::string> row{std::to_string(q), fixed(cal.at(OutputFormat::jpeg, q).ssim, 4)};
            for (OutputFormat f : mapped)
                row.push_back(q >= lowestQ(f) ? fixed(cal.at(f, q).ssim, 4) : "-");
            curves.add(row);
        }

        std::cout << "libvips " << vips_version_string() << "\n\n";
        std::cout << "Matched Q (mean luma SSIM over " << photos.size() << " photos, " << longSide
                  << " px long side):\n\n";
        table.print(std::cout);
        std::cout << "\nMean SSIM at the matched Q:\n\n";
        achieved.print(std::cout);
        std::cout << "\nkB, sum over the photos, at the matched Q:\n\n";
        sizes.print(std::cout);
        std::cout << "\nBefore: kB (mean SSIM) with Q = quality × 100 for every saver:\n\n";
        before.print(std::cout);
        std::cout << "\nMean SSIM against libvips Q:\n\n";
        curves.print(std::cout);
        std::cout << "\nFor engine/encoder.cpp:\n\n";
        for (OutputFormat f : mapped) {
            std::cout << "    " << f.rawValue() << ":";
            for (int q : chosen[static_cast<int>(f)]) std::cout << ' ' << q << ',';
            std::cout << '\n';
        }
    } catch (const std::exception& e) {
        std::cerr << "krumple-bench-quality: " << e.what() << '\n';
        vips_error_clear();
        return 1;
    }
    return 0;
}
