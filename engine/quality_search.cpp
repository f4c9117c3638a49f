#include "quality_search.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "butteraugli.h"
#include "decoding.h"

namespace krumple {
namespace {
using vips::VImage;

constexpr int tileSide = 256;
constexpr int tileAlign = 64;  // a multiple of every codec's block size, so tiles start on the grid
constexpr int tilesWanted = 16;
constexpr std::int64_t measuredWhole = 2'000'000;  // pixels
constexpr int lowestPercent = 5;
constexpr int highestPercent = 99;  // 100 is lossless in some formats: never searched

// 8-bit sRGB, three bytes a pixel, flattened on white: what Butteraugli takes.
std::vector<std::uint8_t> rgbBytes(const VImage& image) {
    VImage im = Converter::toDisplaySRGB(image);
    if (im.bands() == 2 || im.bands() == 4)
        im = im.flatten(VImage::option()->set("background", std::vector<double>(static_cast<std::size_t>(im.bands() - 1), 255.0)))
                 .cast(VIPS_FORMAT_UCHAR);
    if (im.bands() == 1) im = im.bandjoin({im, im});
    im = im.copy_memory();
    const auto bytes = static_cast<std::size_t>(im.width()) * static_cast<std::size_t>(im.height()) * 3;
    std::vector<std::uint8_t> out(bytes);
    std::memcpy(out.data(), vips_image_get_data(im.get_image()), bytes);
    return out;
}

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
    if (grid.origins.empty()) return {image, rgbBytes(image), true};
    std::vector<VImage> tiles;
    for (const auto& [x, y] : grid.origins) tiles.push_back(image.crop(x, y, grid.side, grid.side));
    const int across = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(tiles.size()))));
    const VImage mosaic = VImage::arrayjoin(tiles, VImage::option()->set("across", across)).copy_memory();
    return {mosaic, rgbBytes(mosaic), false};
}

}  // namespace

TileGrid probeTiles(int width, int height) {
    if (static_cast<std::int64_t>(width) * height <= measuredWhole || width < tileSide || height < tileSide) return {};
    int rows = std::min(4, height / tileSide);
    int cols = std::min(tilesWanted / rows, width / tileSide);
    rows = std::min(tilesWanted / cols, height / tileSide);
    TileGrid grid{tileSide, {}};
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
        std::optional<QualityChoice> best;
        Blob lowest;
        for (int lo = lowestPercent, hi = highestPercent; lo <= hi;) {
            const int mid = (lo + hi) / 2;
            Blob file = encodeAt(mid, image, metadata);
            if (static_cast<std::int64_t>(file.size()) <= *goal.bytes) {
                best = QualityChoice{std::move(file), mid / 100.0, std::nullopt, true};
                lo = mid + 1;
            } else {
                if (mid == lowestPercent) lowest = std::move(file);
                hi = mid - 1;
            }
        }
        if (best) return std::move(*best);
        return QualityChoice{std::move(lowest), lowestPercent / 100.0, std::nullopt, false};
    }

    // The lowest quality whose distance is within the goal; the highest when none is.
    const double target = goal.distance.value_or(1.0);
    const Probe probe = probeOf(image);
    std::optional<QualityChoice> best;
    std::optional<QualityChoice> highest;
    for (int lo = lowestPercent, hi = highestPercent; lo <= hi;) {
        const int mid = (lo + hi) / 2;
        Blob file = encodeAt(mid, probe.image, probe.whole ? metadata : MetadataBlocks{});
        const std::vector<std::uint8_t> decoded = rgbBytes(VImage::new_from_buffer(file.data(), file.size(), ""));
        const auto distance = butteraugliDistance(probe.image.width(), probe.image.height(), probe.reference.data(),
                                                  decoded.data());
        if (!distance) throw vips::VError("butteraugli failed");
        QualityChoice choice{probe.whole ? std::move(file) : Blob{}, mid / 100.0, distance, *distance <= target};
        if (choice.met) {
            best = std::move(choice);
            hi = mid - 1;
        } else {
            if (mid == highestPercent) highest = std::move(choice);
            lo = mid + 1;
        }
    }
    QualityChoice chosen = best ? std::move(*best) : std::move(highest).value();
    if (!probe.whole) chosen.file = encodeAt(static_cast<int>(std::lround(chosen.quality * 100)), image, metadata);
    return chosen;
}

}  // namespace krumple
