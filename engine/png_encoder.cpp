#include <algorithm>
#include <array>
#include <vector>

#include "apng.h"
#include "encoder.h"
#include "image_io.h"
#include "png_deflate.h"
#include "png_reduction.h"

namespace krumple {
namespace {
using vips::VImage;

// libvips 8.14 filters no rows by default, and filtering is what makes photos
// compress: with every filter, zlib level 2 writes 15–28 % smaller files than
// level 6 in about the same time (bench/README.md).
vips::VOption* pngOptions() {
    return VImage::option()->set("compression", 2)->set("filter", VIPS_FOREIGN_PNG_FILTER_ALL);
}

// libpng drops a profile it finds fault with (a D65 illuminant in its
// header, say) without failing, and the pixels are then read as sRGB. A tiny
// encode with the same profile tells; if it goes, the pixels go to sRGB.
VImage withProfilePngKeeps(const VImage& image) {
    if (image.get_typeof(VIPS_META_ICC_NAME) == 0) return image;
    std::size_t size = 0;
    const void* icc = image.get_blob(VIPS_META_ICC_NAME, &size);
    VImage probe = VImage::black(1, 1, VImage::option()->set("bands", image.bands()))
                       .cast(image.format())
                       .copy(VImage::option()->set("interpretation", image.interpretation()));
    vips_image_set_blob_copy(probe.get_image(), VIPS_META_ICC_NAME, icc, size);
    VipsBlob* png = probe.pngsave_buffer(pngOptions());
    const auto* area = reinterpret_cast<VipsArea*>(png);
    const bool kept = VImage::new_from_buffer(area->data, area->length, "").get_typeof(VIPS_META_ICC_NAME) != 0;
    vips_area_unref(reinterpret_cast<VipsArea*>(png));
    if (kept) return image;
    try {
        const bool deep = image.format() == VIPS_FORMAT_USHORT;
        return image.icc_transform("srgb", VImage::option()
                                               ->set("embedded", true)
                                               ->set("intent", VIPS_INTENT_RELATIVE)
                                               ->set("depth", deep ? 16 : 8));
    } catch (const vips::VError&) {
        vips_error_clear();
        return image;  // a profile lcms can't use either: written as before, without it
    }
}

// Pictures above this many pixels choose their filter and strategy on a
// sample of rows; smaller ones on the whole.
constexpr std::int64_t sampledAbove = 1'000'000;

struct Choice {
    bool palette = false;
    VipsForeignPngFilter filter = VIPS_FOREIGN_PNG_FILTER_NONE;
    png::Strategy strategy = png::Strategy::standard;
};

// A PNG libvips saved, cut into its parts, its rows inflated.
std::optional<png::Parts> rowsOf(VipsBlob* saved) {
    auto* area = reinterpret_cast<VipsArea*>(saved);
    auto parts = png::split({static_cast<const std::uint8_t*>(area->data), area->length}, png::Keep::rows);
    vips_area_unref(area);
    return parts;
}

// The PNG of `choice`, cut into its parts, its rows still to be deflated:
// libvips writes them stored. A palette PNG is written by libvips as grey
// indices, then given its palette.
std::optional<png::Parts> storedParts(const png::Reduction& reduction, const Choice& choice) {
    auto options = VImage::option()->set("compression", 0)->set("filter", choice.filter);
    if (!choice.palette) return rowsOf(reduction.image.pngsave_buffer(options));
    const png::Palette& palette = *reduction.palette;
    // Arithmetic on the picture's own band keeps its metadata on the indices.
    const VImage indices = (reduction.image[0] * 0 + palette.indices)
                               .cast(VIPS_FORMAT_UCHAR)
                               .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
    auto grey = rowsOf(indices.pngsave_buffer(options->set("bitdepth", palette.bits)));
    if (!grey) return std::nullopt;
    return png::withPalette(std::move(*grey), palette.plte, palette.trns);
}

// Strips of rows spread over the picture, as many rows as a picture of `sampledAbove` pixels.
VImage sampleOf(const VImage& image) {
    const int strips = 16;
    const int rows = std::max(1, static_cast<int>(sampledAbove / image.width() / strips));
    std::vector<VImage> parts;
    for (int i = 0; i < strips; ++i) {
        const int top = static_cast<int>(static_cast<std::int64_t>(image.height() - rows) * i / (strips - 1));
        parts.push_back(image.crop(0, top, image.width(), rows));
    }
    return VImage::arrayjoin(parts, VImage::option()->set("across", 1)).copy_memory();
}

// The same reduction on a sample of the picture's rows.
png::Reduction sampleOf(const png::Reduction& reduction) {
    png::Reduction sample{sampleOf(reduction.image), reduction.palette};
    if (sample.palette) sample.palette->indices = sampleOf(reduction.palette->indices);
    return sample;
}

struct Written {
    Choice choice;
    std::optional<Blob> file;  // the whole picture's file, when the trials were on the whole
};

// Each way of storing the rows tried: without and with every row's best
// filter, each deflated three ways, palette and not. The smallest wins; on
// a sample, run-length coding (far the fastest) wins anything within 2 %.
std::optional<Written> bestWay(const png::Reduction& reduction) {
    const bool sampled = std::int64_t{reduction.image.width()} * reduction.image.height() > sampledAbove;
    const png::Reduction tried = sampled ? sampleOf(reduction) : reduction;
    std::optional<std::pair<std::size_t, Written>> best, bestRuns;
    for (const bool palette : {false, true}) {
        if (palette && !reduction.palette) continue;
        for (const auto filter : {VIPS_FOREIGN_PNG_FILTER_NONE, VIPS_FOREIGN_PNG_FILTER_ALL}) {
            const auto parts = storedParts(tried, {palette, filter, {}});
            if (!parts) return std::nullopt;
            for (const auto strategy : {png::Strategy::standard, png::Strategy::filtered, png::Strategy::runs}) {
                const auto idat = png::deflated(parts->rows, strategy);
                if (!idat) return std::nullopt;
                // Whole files: a palette's own chunk counts.
                const std::size_t size = parts->head.size() + idat->size() + parts->tail.size();
                const bool better = !best || size < best->first;
                const bool betterRuns = sampled && strategy == png::Strategy::runs && (!bestRuns || size < bestRuns->first);
                if (!better && !betterRuns) continue;
                Written way{{palette, filter, strategy}, std::nullopt};
                if (!sampled) way.file = png::joined(*parts, *idat);  // only a winner is put together
                if (betterRuns) bestRuns.emplace(size, way);
                if (better) best.emplace(size, std::move(way));
            }
        }
    }
    if (!best) return std::nullopt;
    if (sampled && bestRuns && static_cast<double>(bestRuns->first) <= 1.02 * static_cast<double>(best->first))
        return bestRuns->second;
    return best->second;
}

// Ours with the source's own image data, when that stores the same pixels
// alike in fewer bytes.
std::optional<Blob> withSourceData(const Blob& ours, const Blob& source) {
    const auto mine = png::split(ours, png::Keep::stream), theirs = png::split(source, png::Keep::stream);
    if (!mine || !theirs || !png::sameLayout(*mine, *theirs) || theirs->stream.size() >= mine->stream.size())
        return std::nullopt;
    return png::joined(*mine, theirs->stream);
}

// The smallest PNG of `image` found, checked pixel for pixel against it;
// nullopt when that fails, and it is written the plain way.
std::optional<Blob> smallestPng(const VImage& image, const Blob* source) {
    png::Reduction reduction = png::reduced(image);
    for (;;) {
        auto way = bestWay(reduction);
        if (!way) return std::nullopt;
        if (!way->file) {
            const auto parts = storedParts(reduction, way->choice);
            const auto idat = parts ? png::deflated(parts->rows, way->choice.strategy) : std::nullopt;
            if (!idat) return std::nullopt;
            way->file = png::joined(*parts, *idat);
        }
        const auto same = [&image](const Blob& file) {
            return png::samePixels(image, VImage::new_from_buffer(file.data(), file.size(), ""));
        };
        if (source)
            if (auto kept = withSourceData(*way->file, *source); kept && same(*kept)) return kept;
        if (same(*way->file)) return std::move(way->file);
        // A palette that missed a colour: the next best without one.
        if (!way->choice.palette) return std::nullopt;
        reduction.palette.reset();
    }
}

class PngEncoder final : public Encoder {
public:
    void encode(const VImage& image, const MetadataBlocks& metadata, const EncodeOptions& options,
                EncodeTarget& out) const override {
        const VImage im = withMetadata(withProfilePngKeeps(image), metadata);
        if (stackedFrames(im) > 1) {
            const auto animation = apng::animationFrom(
                im, [](const VImage& frame, bool) { return takeBlob(frame.pngsave_buffer(pngOptions())); });
            if (!animation) throw vips::VError("APNG frames");
            return out.write(*animation);
        }
        const VImage picture = im.copy_memory();
        std::optional<Blob> file;
        try {
            file = smallestPng(picture, options.png.get());
        } catch (const vips::VError&) {
            vips_error_clear();
        }
        out.write(file ? *file : takeBlob(picture.pngsave_buffer(pngOptions())));
    }
};

}  // namespace

const Encoder& pngEncoder() {
    static const PngEncoder encoder;
    return encoder;
}

}  // namespace krumple
