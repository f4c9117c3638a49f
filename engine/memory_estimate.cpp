#include <algorithm>
#include <cmath>

#include "converter.h"
#include "difference.h"
#include "decoding.h"
#include "encoder.h"

namespace krumple::Converter {

namespace {

// Peak resident memory of one conversion: a base plus bytes per output pixel,
// fitted over 1–72 MP and raised until every measured point is at least 10 %
// under it (bench/run-memory-bench.sh; bench/README.md, "Memory per conversion").
// 8-bit rows include grainy photos, on which the encoders keep more.
struct Cost {
    double base;      // bytes
    double perPixel;  // bytes
};

// `best`: Q 90 and up, where HEIC and AVIF keep full chroma.
Cost costOf(OutputFormat format, bool lossless, bool best, bool deep) {
    switch (format) {
    case OutputFormat::heic:
        return deep ? (best ? Cost{102e6, 48.62} : Cost{87e6, 29.54}) : (best ? Cost{105e6, 32.45} : Cost{87e6, 19.35});
    case OutputFormat::avif:
        return deep ? (best ? Cost{118e6, 65.08} : Cost{79e6, 36.05}) : (best ? Cost{88e6, 43.89} : Cost{83e6, 24.19});
    // Lossless from pixels; a JPEG carried over takes less (34 bytes a pixel),
    // but libjxl may refuse it and fall back to pixels.
    case OutputFormat::jxl:
        return lossless ? (deep ? Cost{83e6, 103.82} : Cost{65e6, 75.33}) : (deep ? Cost{83e6, 52.57} : Cost{113e6, 52.79});
    case OutputFormat::webp: return lossless ? Cost{94e6, 35.24} : Cost{100e6, 12.61};
    // PNG holds the picture, its rows and their deflated copy to try several ways.
    case OutputFormat::png: return deep ? Cost{85e6, 38.14} : Cost{77e6, 12.95};
    case OutputFormat::jpeg: break;
    }
    return {66e6, 3.84};  // progressive: every DCT coefficient held
}

// Measuring an output against its source at full size: both as 8-bit RGB
// plus their copies on the way in, and Butteraugli's planes, for the whole
// picture up to 1 MP, else for one tile at a time. Outputs other than JPEG
// and PNG are decoded whole, beside their decoders' own state. Raised until
// every point measured (1–36 MP; 16-bit sources 1–16 MP) is at least 10 %
// under it (bench/run-memory-bench.sh FORMAT:QUALITY:DEPTH:difference).
double differenceCost(double pixels, bool outputDecodedWhole, bool deepSource, bool deepOutput) {
    const double planes = pixels <= 1e6 ? 270.0 * pixels : 200e6;
    const double decodedOutput = !outputDecodedWhole ? 0.0 : deepOutput ? 70e6 + 8.0 * pixels : 40e6 + 5.0 * pixels;
    return 75e6 + planes + (deepSource ? 18.0 : 15.0) * pixels + decodedOutput;
}

// The table's sources stream into the encoder; others are decoded whole
// first, and so is a picture that must be turned.
double decodedSourceCost(const ImageSource& source, PixelSize size) {
    const bool whole = !source.streams() || numberAt(source.properties(), prop::orientation).value_or(1) > 1;
    return whole ? size.width * size.height * (source.isDeep() ? 8.0 : 4.0) : 0.0;
}

}  // namespace

std::int64_t memoryEstimate(const std::filesystem::path& src, const ConvertSettings& settings,
                            bool measuringDifference) {
    const auto source = ImageSource::open(src);
    if (!source) return 0;
    const auto size = orientedSize(*source);
    if (!size) return 0;
    const double scale = settings.limitScale(size->width, size->height);
    // An animation kept whole is held frame upon frame.
    const int frames = settings.format.holdsFrames() ? source->frames() : 1;
    const double pixels = size->width * size->height * scale * scale * frames;
    const bool deep = source->isDeep() && settings.format.keepsDeepColour();
    const EncodeOptions options = optionsFor(settings.format, settings.quality);
    const Cost cost = costOf(settings.format, options.lossless, options.q >= 90, deep);
    double bytes = cost.base + cost.perPixel * pixels;
    // A search holds the picture decoded and its encodes. Measuring distances
    // over the whole picture adds its 8-bit copy, each encode decoded, and
    // Butteraugli's planes for the whole picture up to 1 MP, else for a tile.
    if ((settings.targetDistance || settings.maxBytes) && !settings.format.isLossless())
        bytes += pixels * (deep ? 10.0 : 5.0) +
                 (settings.targetDistance ? std::min(270.0 * pixels, 200e6) + 10.0 * pixels : 0.0);
    const double decodedSource = decodedSourceCost(*source, *size);
    bytes += decodedSource;
    if (measuringDifference) {
        const bool outputDecodedWhole = settings.format != OutputFormat::jpeg && settings.format != OutputFormat::png;
        bytes = std::max(bytes, differenceCost(pixels, outputDecodedWhole, source->isDeep(), deep) + decodedSource);
    }
    return static_cast<std::int64_t>(std::min(bytes, 9.0e18));
}

std::int64_t differenceMemoryEstimate(const std::filesystem::path& source, const std::filesystem::path& output) {
    const auto original = ImageSource::open(source);
    const auto converted = ImageSource::open(output);
    if (!original || !converted) return 0;
    const auto size = orientedSize(*original);
    const auto outputSize = orientedSize(*converted);
    if (!size || !outputSize) return 0;
    const double bytes = differenceCost(outputSize->width * outputSize->height, !converted->streams(),
                                        original->isDeep(), converted->isDeep()) +
                         decodedSourceCost(*original, *size);
    return static_cast<std::int64_t>(std::min(bytes, 9.0e18));
}

}  // namespace krumple::Converter
