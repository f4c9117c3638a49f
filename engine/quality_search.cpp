#include "quality_search.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string_view>

#include "butteraugli.h"
#include "image_io.h"
#include "avif_frames.h"
#include "jxl_frames.h"

namespace krumple {
namespace {
using vips::VImage;

// Many small tiles read the distance of the whole far better than a few large
// ones of the same area: 64 of 96 pixels came within 8 % on the bench photos
// where 8 of 256 read half (bench/README.md, "Automatic quality").
constexpr int tileSide = 96;
constexpr int tileAlign = 32;  // JPEG's and WebP's macroblocks, and half a HEIC or AVIF block
constexpr int tilesWanted = 64;
constexpr std::int64_t measuredWhole = 600'000;  // pixels: below this there is nothing to estimate
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

// The mosaic a large picture's distance is estimated on, and its 8-bit copy
// for Butteraugli; none for a picture small enough to go straight to the
// whole-picture search.
struct Mosaic {
    VImage image;
    std::vector<std::uint8_t> reference;
};

std::optional<Mosaic> mosaicOf(const VImage& image) {
    const TileGrid grid = probeTiles(image.width(), image.height());
    if (grid.origins.empty()) return std::nullopt;
    std::vector<VImage> tiles;
    for (const auto& [x, y] : grid.origins) tiles.push_back(image.crop(x, y, grid.side, grid.side));
    // As they lie in the picture: no empty cell to flatter the distance.
    VImage mosaic = VImage::arrayjoin(tiles, VImage::option()->set("across", grid.columns)).copy_memory();
    // One picture, even when cut from an animation's frames.
    if (mosaic.get_typeof(VIPS_META_PAGE_HEIGHT) != 0) mosaic.remove(VIPS_META_PAGE_HEIGHT);
    return Mosaic{mosaic, butteraugliInput(mosaic)};
}

// A file's pixels as Butteraugli takes them: every frame of an animation, stacked.
std::vector<std::uint8_t> decodedInput(const Blob& file, bool allFrames = false) {
    // libvips 8.14 reads a JPEG XL animation's first frame only, and no AVIF sequence.
    if (allFrames) {
        const auto frames = avif::looksLikeAvif(file.data(), file.size()) ? avif::framesOf(file) : jxl::framesOf(file);
        if (frames) return butteraugliInput(*frames);
    }
    return butteraugliInput(VImage::new_from_buffer(file.data(), file.size(), allFrames ? "n=-1" : ""));
}

}  // namespace

int lowestMeeting(int lowest, int highest, double target, const std::function<double(int)>& measure, int most) {
    // Known: `fail` misses (or is below the range), `pass` meets (or is above it).
    int fail = lowest - 1, pass = highest + 1;
    std::optional<double> failAt, passAt;
    int sameSide = 0;
    bool lastPassed = false;
    for (int measured = 0; pass - fail > 1 && !(passAt && *passAt >= closeEnough * target) && measured < most; ++measured) {
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

int floorFrom(int guess, int lowest, int highest, double target, double slope,
              const std::function<double(int)>& measure) {
    int fail = lowest - 1, pass = highest + 1;  // known: `fail` misses (or is below), `pass` meets (or is above)
    std::optional<double> failAt, passAt;
    int next = std::clamp(guess, lowest, highest);
    std::optional<std::pair<int, double>> previous;
    int lastStep = 0, sameSide = 0;
    bool lastPassed = false;
    while (pass - fail > 1) {
        const int at = next;
        const double distance = std::max(measure(at), 1e-6);
        const bool passed = distance <= target;
        sameSide = passed == lastPassed ? sameSide + 1 : 1;
        lastPassed = passed;
        (passed ? pass : fail) = at;
        (passed ? passAt : failAt) = distance;
        if (pass - fail <= 1) break;
        // Once two points are measured, their own slope replaces the one given.
        if (previous && previous->first != at) {
            const double measured = (std::log(distance) - std::log(previous->second)) / (at - previous->first);
            if (measured < 0) slope = measured;
        }
        previous = {at, distance};
        // Where the target lies on the log of the distance: between the two
        // measured ends, or from the one end along the slope.
        const double boundary =
            failAt && passAt
                ? fail + (std::log(*failAt) - std::log(target)) / (std::log(*failAt) - std::log(*passAt)) * (pass - fail)
                : at + (std::log(target) - std::log(distance)) / slope;
        // The lowest meeting is expected at ceil(boundary); it counts once the one below is seen to miss.
        const int meets = static_cast<int>(std::ceil(boundary - 1e-9));
        next = meets >= pass ? pass - 1 : meets <= fail ? fail + 1 : meets;
        if (sameSide >= 2 && failAt && passAt) {
            next = (fail + pass) / 2;  // an end that keeps moving: halve what is left
        } else if (sameSide >= 3) {
            // Still on one side: at least twice as far as the last step.
            next = passed ? std::min(next, at - 2 * lastStep) : std::max(next, at + 2 * lastStep);
        }
        next = std::clamp(next, fail + 1, pass - 1);
        lastStep = std::abs(next - at);
    }
    return pass > highest ? highest : pass;
}

QualityChoice chooseQuality(const VImage& image, const MetadataBlocks& metadata, OutputFormat format,
                            const EncodeOptions& base, const QualityGoal& goal) {
    const auto encodeAt = [&](int percent, const VImage& picture, const MetadataBlocks& blocks) {
        EncodeOptions options = optionsFor(format, percent / 100.0);
        options.bitDepth = base.bitDepth;
        options.stripMetadata = base.stripMetadata;
        return encodeToMemory(picture, format, options, blocks);
    };
    // The whole picture's distance from a file of it, as every distance shown is measured.
    const std::vector<std::uint8_t> reference = goal.distance ? butteraugliInput(image) : std::vector<std::uint8_t>{};
    const auto wholeDistance = [&](const Blob& file) {
        const std::vector<std::uint8_t> decoded = decodedInput(file, stackedFrames(image) > 1);
        const auto measured = pictureDistance(image.width(), image.height(), reference.data(), decoded.data(),
                                              std::max(image.width(), image.height()));
        if (!measured) throw vips::VError("butteraugli failed");
        return measured->distance;
    };

    // The highest quality up to `highest` whose file fits; the lowest one's
    // file when none does. Sizes rise with quality, so the search runs over
    // quality turned around, aiming along the size's slope as it does for
    // distances. Only what could be chosen is held: files that fit, and the
    // lowest quality's, which tells how far off a cap no quality meets is.
    const auto highestFitting = [&](std::int64_t bytes, int highest) {
        std::map<int, Blob> files;
        const auto sizeAt = [&](int percent) {
            Blob file = encodeAt(percent, image, metadata);
            const auto size = static_cast<double>(file.size());
            if (size <= static_cast<double>(bytes) || percent == lowestPercent) files[percent] = std::move(file);
            return size;
        };
        const int turned = lowestPercent + highest;
        const int percent = turned - lowestMeeting(lowestPercent, highest, static_cast<double>(bytes),
                                                   [&](int lowness) { return sizeAt(turned - lowness); });
        Blob file = std::move(files.at(percent));
        const bool fits = static_cast<std::int64_t>(file.size()) <= bytes;
        return QualityChoice{std::move(file), percent / 100.0, std::nullopt, fits};
    };
    if (!goal.distance) return highestFitting(*goal.bytes, highestPercent);

    // The lowest quality whose whole picture is within the target; the
    // highest when none is. Large pictures are first estimated on a mosaic of
    // tiles, which tells where to start and how steeply the distance falls.
    const double target = *goal.distance;
    int guess = 50;
    double slope = -0.03;  // the log of the distance, per percent: typical of photos
    if (const auto probe = mosaicOf(image)) {
        // An estimate only steers: a few probes are enough.
        std::map<int, double> estimates;
        lowestMeeting(lowestPercent, highestPercent, target, [&](int percent) {
            const std::vector<std::uint8_t> decoded = decodedInput(encodeAt(percent, probe->image, MetadataBlocks{}));
            const auto distance = butteraugliDistance(probe->image.width(), probe->image.height(),
                                                      probe->reference.data(), decoded.data());
            if (!distance) throw vips::VError("butteraugli failed");
            return estimates[percent] = std::max(*distance, 1e-6);
        }, 4);
        // Between the lowest probe meeting the target and the one below it, on
        // the log of the distance; from one of them along the slope otherwise.
        const auto meets = std::ranges::find_if(estimates, [&](const auto& e) { return e.second <= target; });
        const auto from = meets != estimates.end() ? meets : std::prev(meets);
        if (meets != estimates.end() && meets != estimates.begin()) {
            const auto below = std::prev(meets);
            const double measured =
                (std::log(meets->second) - std::log(below->second)) / (meets->first - below->first);
            if (measured < 0) slope = measured;
        }
        guess = static_cast<int>(std::ceil(from->first + (std::log(target) - std::log(from->second)) / slope));
    }
    // Neighbouring qualities often make the very same file: several of our
    // percents can map to one of the codec's own qualities (not encoded
    // again), and HEIC's and AVIF's quantisers move in coarser steps (not
    // measured again: files are known by size and hash). Only files meeting
    // the target are kept.
    std::map<std::pair<std::size_t, std::size_t>, double> seen;
    std::map<int, int> firstAtCodecQuality;  // the codec's quality: the first percent encoded at it
    std::map<int, int> sameFileAs;           // a percent not encoded: the percent whose file it shares
    std::map<int, double> distances;
    std::map<int, QualityChoice> meeting;
    std::optional<QualityChoice> highestMissing;
    const int chosen = floorFrom(guess, lowestPercent, highestPercent, target, slope, [&](int percent) {
        const int codecQuality = optionsFor(format, percent / 100.0).q;
        if (const auto first = firstAtCodecQuality.find(codecQuality); first != firstAtCodecQuality.end()) {
            sameFileAs[percent] = first->second;
            return distances.at(first->second);
        }
        firstAtCodecQuality.emplace(codecQuality, percent);
        Blob file = encodeAt(percent, image, metadata);
        const std::pair key{file.size(), std::hash<std::string_view>{}(std::string_view(
                                             reinterpret_cast<const char*>(file.data()), file.size()))};
        const auto same = seen.find(key);
        const double distance = distances[percent] = same != seen.end() ? same->second : seen[key] = wholeDistance(file);
        QualityChoice choice{std::move(file), percent / 100.0, distance, distance <= target};
        if (choice.met) meeting[percent] = std::move(choice);
        else if (percent == highestPercent) highestMissing = std::move(choice);
        return distance;
    });
    // `chosen` may share its file with the percent first encoded at its codec quality.
    const auto shared = sameFileAs.find(chosen);
    const int encoded = shared != sameFileAs.end() ? shared->second : chosen;
    // Nothing met the target: the highest quality's file, encoded again in
    // the rare case it shared its codec quality with a lower percent.
    QualityChoice automatic = meeting.contains(encoded) ? std::move(meeting.at(encoded))
                              : highestMissing ? std::move(*highestMissing)
                                               : QualityChoice{encodeAt(chosen, image, metadata), 0, distances.at(encoded), false};
    automatic.quality = chosen / 100.0;
    if (!goal.bytes) return automatic;
    if (static_cast<std::int64_t>(automatic.file.size()) <= *goal.bytes) {
        automatic.met = true;  // within the ceiling
        return automatic;
    }
    // Over the ceiling: the best quality below Auto's choice that fits, with
    // the distance of what is written.
    QualityChoice capped = highestFitting(*goal.bytes, std::max(lowestPercent, chosen - 1));
    capped.distance = wholeDistance(capped.file);
    return capped;
}

}  // namespace krumple
