#include "quality_search.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string_view>

#include "butteraugli.h"

namespace krumple {
namespace {
using vips::VImage;

// Many small tiles read the distance of the whole far better than a few large
// ones of the same area: 64 of 96 pixels came within 8 % on the bench photos
// where 8 of 256 read half (bench/README.md, "Automatic quality").
constexpr int tileSide = 96;
constexpr int tileAlign = 32;  // JPEG's and WebP's macroblocks, and half a HEIC or AVIF block
constexpr int tilesWanted = 64;
// Tiles read the distance a little low: the search aims this much under.
constexpr double tileMargin = 0.92;
constexpr std::int64_t measuredWhole = 600'000;  // pixels: Butteraugli's time and memory grow with them
constexpr int lowestPercent = 5;
constexpr int highestPercent = 99;  // 100 is lossless in some formats: never searched

int aligned(int v) { return v / tileAlign * tileAlign; }

// Evenly spread starts for `count` tiles along a side of `length` pixels.
std::vector<int> spread(int length, int count) {
    std::vector<int> starts;
    if (count == 1) return {aligned((length - tileSide) / 2)};
    for (int i = 0; i < count; ++i) starts.push_back(aligned(static_cast<int>(static_cast<std::int64_t>(length - tileSide) * i / (count - 1))));
    return starts;
}

// What the distance search encodes and measures: the picture, or a mosaic of its tiles.
struct Probe {
    VImage image;
    std::vector<std::uint8_t> reference;
    bool whole = true;
};

Probe probeOf(const VImage& image) {
    const TileGrid grid = probeTiles(image.width(), image.height());
    if (grid.origins.empty()) return {image, butteraugliInput(image), true};
    std::vector<VImage> tiles;
    for (const auto& [x, y] : grid.origins) tiles.push_back(image.crop(x, y, grid.side, grid.side));
    // As they lie in the picture: no empty cell to flatter the distance.
    const VImage mosaic = VImage::arrayjoin(tiles, VImage::option()->set("across", grid.columns)).copy_memory();
    return {mosaic, butteraugliInput(mosaic), false};
}

}  // namespace

int lowestMeeting(int lowest, int highest, double target, const std::function<double(int)>& measure) {
    // Known: `fail` misses (or is below the range), `pass` meets (or is above it).
    int fail = lowest - 1, pass = highest + 1;
    std::optional<double> failAt, passAt;
    int sameSide = 0;
    bool lastPassed = false;
    while (pass - fail > 1 && !(passAt && *passAt >= closeEnough * target)) {
        int next = (fail + pass) / 2;
        // The distance falls about geometrically as the quality rises: aim
        // between two measured ends on that line, unless one end keeps moving.
        if (failAt && passAt && sameSide < 2) {
            const double t = (std::log(*failAt) - std::log(target)) / (std::log(*failAt) - std::log(*passAt));
            next = fail + static_cast<int>(std::lround(t * (pass - fail)));
        }
        next = std::clamp(next, fail + 1, pass - 1);
        const double distance = measure(next);
        const bool passed = distance <= target;
        sameSide = passed == lastPassed ? sameSide + 1 : 1;
        lastPassed = passed;
        if (passed) {
            pass = next;
            passAt = std::max(distance, 1e-6);
        } else {
            fail = next;
            failAt = distance;
        }
    }
    // Nothing met the target: the highest quality, measured.
    return pass > highest ? highest : pass;
}

TileGrid probeTiles(int width, int height) {
    if (static_cast<std::int64_t>(width) * height <= measuredWhole || width < tileSide || height < tileSide) return {};
    // Rows and columns in about the picture's proportions.
    const int down = static_cast<int>(std::lround(std::sqrt(tilesWanted * static_cast<double>(height) / width)));
    int rows = std::clamp(down, 1, std::min(tilesWanted, height / tileSide));
    int cols = std::min(tilesWanted / rows, width / tileSide);
    rows = std::min(tilesWanted / cols, height / tileSide);
    TileGrid grid{tileSide, cols, {}};
    for (const int y : spread(height, rows))
        for (const int x : spread(width, cols)) grid.origins.emplace_back(x, y);
    return grid;
}

QualityChoice chooseQuality(const VImage& image, const MetadataBlocks& metadata, OutputFormat format,
                            const EncodeOptions& base, const QualityGoal& goal) {
    const auto encodeAt = [&](int percent, const VImage& picture, const MetadataBlocks& blocks) {
        EncodeOptions options = optionsFor(format, percent / 100.0);
        options.bitDepth = base.bitDepth;
        options.stripMetadata = base.stripMetadata;
        return encodeToMemory(picture, format, options, blocks);
    };

    if (goal.bytes) {
        // The highest quality that fits; the lowest one's file when none does.
        // Sizes rise with quality, so the search runs over quality turned
        // around, aiming along the size's slope as it does for distances.
        // Only what could be chosen is held: files that fit, and the lowest
        // quality's, which tells how far off a cap no quality meets is.
        std::map<int, Blob> files;
        const auto sizeAt = [&](int percent) {
            Blob file = encodeAt(percent, image, metadata);
            const auto size = static_cast<double>(file.size());
            if (size <= static_cast<double>(*goal.bytes) || percent == lowestPercent) files[percent] = std::move(file);
            return size;
        };
        constexpr int turned = lowestPercent + highestPercent;
        const int percent = turned - lowestMeeting(lowestPercent, highestPercent, static_cast<double>(*goal.bytes),
                                                   [&](int lowness) { return sizeAt(turned - lowness); });
        Blob file = std::move(files.at(percent));
        const bool fits = static_cast<std::int64_t>(file.size()) <= *goal.bytes;
        return QualityChoice{std::move(file), percent / 100.0, std::nullopt, fits};
    }

    // The lowest quality whose distance is within the goal; the highest when none is.
    const Probe probe = probeOf(image);
    const double target = goal.distance.value_or(1.0) * (probe.whole ? 1.0 : tileMargin);
    std::map<int, QualityChoice> tried;
    // Neighbouring qualities often make the very same file (HEIC's and
    // AVIF's quantisers move in coarser steps): measured once. Files are
    // known by size and hash, so each probe's bytes aren't kept twice.
    std::map<std::pair<std::size_t, std::size_t>, double> seen;
    const auto measure = [&](int percent) {
        Blob file = encodeAt(percent, probe.image, probe.whole ? metadata : MetadataBlocks{});
        const std::pair key{file.size(), std::hash<std::string_view>{}(std::string_view(
                                             reinterpret_cast<const char*>(file.data()), file.size()))};
        auto same = seen.find(key);
        std::optional<double> distance;
        if (same != seen.end()) {
            distance = same->second;
        } else {
            const std::vector<std::uint8_t> decoded =
                butteraugliInput(VImage::new_from_buffer(file.data(), file.size(), ""));
            distance = butteraugliDistance(probe.image.width(), probe.image.height(), probe.reference.data(),
                                           decoded.data());
            if (!distance) throw vips::VError("butteraugli failed");
            seen.emplace(key, *distance);
        }
        tried[percent] = QualityChoice{probe.whole ? std::move(file) : Blob{}, percent / 100.0, distance,
                                       *distance <= target};
        return *distance;
    };
    const int boundary = lowestMeeting(lowestPercent, highestPercent, target, measure);
    QualityChoice chosen = std::move(tried.at(boundary));
    if (!probe.whole) chosen.file = encodeAt(boundary, image, metadata);
    return chosen;
}

}  // namespace krumple
