#include "png_reduction.h"

#include <cstring>
#include <algorithm>
#include <unordered_map>
#include <vector>

namespace krumple::png {
namespace {
using vips::VImage;

bool allSet(const VImage& test) { return test.min() == 255; }

int colourBands(const VImage& im) { return im.has_alpha() ? im.bands() - 1 : im.bands(); }

// The palette of an 8-bit picture of at most 256 colours (every band, alpha too).
std::optional<Palette> paletteOf(const VImage& im) {
    const auto* pixels = static_cast<const std::uint8_t*>(vips_image_get_data(im.get_image()));
    if (!pixels || im.format() != VIPS_FORMAT_UCHAR) return std::nullopt;
    const auto bands = static_cast<std::size_t>(im.bands());
    const std::size_t count = static_cast<std::size_t>(im.width()) * static_cast<std::size_t>(im.height());
    std::unordered_map<std::uint32_t, std::uint8_t> index;
    std::vector<std::uint32_t> colours;
    std::vector<std::uint8_t> indices(count);
    std::uint32_t last = 0;
    std::uint8_t lastIndex = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t colour = 0;
        std::memcpy(&colour, pixels + i * bands, bands);
        if (i == 0 || colour != last) {  // flat areas repeat the last colour
            const auto [at, added] = index.try_emplace(colour, static_cast<std::uint8_t>(colours.size()));
            if (added) {
                if (colours.size() == 256) return std::nullopt;
                colours.push_back(colour);
            }
            last = colour;
            lastIndex = at->second;
        }
        indices[i] = lastIndex;
    }
    // Translucent colours first, so that tRNS lists only them.
    const bool alpha = bands == 2 || bands == 4;
    const auto alphaOf = [&](std::uint32_t c) { return alpha ? static_cast<std::uint8_t>(c >> (8 * (bands - 1))) : std::uint8_t{255}; };
    std::vector<std::uint8_t> order(colours.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint8_t>(i);
    std::stable_partition(order.begin(), order.end(), [&](std::uint8_t i) { return alphaOf(colours[i]) < 255; });
    std::vector<std::uint8_t> newIndex(colours.size());
    Palette palette;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::uint32_t c = colours[order[i]];
        newIndex[order[i]] = static_cast<std::uint8_t>(i);
        const auto byte = [c](std::size_t n) { return static_cast<std::uint8_t>(c >> (8 * n)); };
        if (bands <= 2) palette.plte.insert(palette.plte.end(), {byte(0), byte(0), byte(0)});
        else palette.plte.insert(palette.plte.end(), {byte(0), byte(1), byte(2)});
        if (alphaOf(c) < 255) palette.trns.push_back(alphaOf(c));
    }
    for (auto& i : indices) i = newIndex[i];
    const std::size_t n = colours.size();
    palette.bits = n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
    VipsImage* made = vips_image_new_from_memory_copy(indices.data(), indices.size(), im.width(), im.height(), 1,
                                                      VIPS_FORMAT_UCHAR);
    if (!made) return std::nullopt;
    palette.indices = VImage(made);
    return palette;
}

}  // namespace

Reduction reduced(const VImage& picture) {
    VImage im = picture;
    const VipsInterpretation kind = im.interpretation();
    const bool rgb = kind == VIPS_INTERPRETATION_sRGB || kind == VIPS_INTERPRETATION_RGB16;
    const bool grey = kind == VIPS_INTERPRETATION_B_W || kind == VIPS_INTERPRETATION_GREY16;
    if (!(rgb && (im.bands() == 3 || im.bands() == 4)) && !(grey && (im.bands() == 1 || im.bands() == 2)))
        return {picture, std::nullopt};
    bool deep = im.format() == VIPS_FORMAT_USHORT;
    if (!deep && im.format() != VIPS_FORMAT_UCHAR) return {picture, std::nullopt};
    const int colours = colourBands(im);

    if (im.has_alpha() && im[colours].min() == (deep ? 65535.0 : 255.0))
        im = im.extract_band(0, VImage::option()->set("n", colours));
    // An RGB profile can't describe grey pixels; grey is stored as grey only without one.
    if (colours == 3 && im.get_typeof(VIPS_META_ICC_NAME) == 0 && allSet(im[0] == im[1]) && allSet(im[1] == im[2])) {
        VImage g = im[0];
        if (im.has_alpha()) g = g.bandjoin(im[3]);
        im = g.copy(VImage::option()->set("interpretation", deep ? VIPS_INTERPRETATION_GREY16 : VIPS_INTERPRETATION_B_W));
    }
    if (deep && (im % 257).max() == 0) {
        const bool greyNow = colourBands(im) == 1;
        im = (im / 257)
                 .cast(VIPS_FORMAT_UCHAR)
                 .copy(VImage::option()->set("interpretation", greyNow ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB));
        deep = false;
    }
    im = im.copy_memory();
    // A palette's colours are RGB: only a picture without a profile, which would describe them otherwise.
    if (deep || im.get_typeof(VIPS_META_ICC_NAME) != 0) return {im, std::nullopt};
    return {im, paletteOf(im)};
}

bool samePixels(const VImage& picture, VImage decoded) {
    if (decoded.width() != picture.width() || decoded.height() != picture.height()) return false;
    const bool deep = picture.format() == VIPS_FORMAT_USHORT;
    const double top = deep ? 65535.0 : 255.0;
    if (decoded.format() == VIPS_FORMAT_UCHAR && deep) decoded = decoded.cast(VIPS_FORMAT_USHORT) * 257;
    else if (decoded.format() != picture.format()) return false;
    const int colours = colourBands(picture), decodedColours = colourBands(decoded);
    VImage colour = decoded.extract_band(0, VImage::option()->set("n", decodedColours));
    if (decodedColours == 1 && colours == 3) colour = colour.bandjoin(colour).bandjoin(colour);
    // A palette reads back as RGB, grey ones too.
    if (decodedColours == 3 && colours == 1) {
        if (!allSet(colour[0] == colour[1]) || !allSet(colour[1] == colour[2])) return false;
        colour = colour[0];
    }
    if (colour.bands() != colours) return false;
    if (picture.has_alpha()) {
        colour = colour.bandjoin(decoded.has_alpha() ? decoded[decodedColours] : (colour[0] * 0 + top));
    } else if (decoded.has_alpha() && decoded[decodedColours].min() != top) {
        return false;
    }
    return picture.relational(colour, VIPS_OPERATION_RELATIONAL_NOTEQ).max() == 0;
}

}  // namespace krumple::png
