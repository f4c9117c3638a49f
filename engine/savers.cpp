#include "savers.h"

#include <algorithm>
#include <cmath>

#include "encoder.h"

namespace krumple::savers {

namespace {
std::optional<OutputFormat> formatOf(std::string_view typeIdentifier) {
    for (OutputFormat f : OutputFormat::allCases())
        if (f.typeIdentifier() == typeIdentifier) return f;
    return std::nullopt;
}

OutputFormat known(std::string_view typeIdentifier) {
    if (const auto f = formatOf(typeIdentifier)) return *f;
    throw vips::VError("unknown output type");
}
}  // namespace

int vipsQ(std::string_view typeIdentifier, double quality) {
    if (const auto f = formatOf(typeIdentifier)) return optionsFor(*f, quality).q;
    return std::clamp(static_cast<int>(std::lround(quality * 100.0)), 1, 100);
}

Blob encode(const vips::VImage& image, std::string_view typeIdentifier, std::optional<double> quality) {
    const OutputFormat f = known(typeIdentifier);
    return encodeToMemory(image, f, quality ? optionsFor(f, *quality) : EncodeOptions{});
}

Blob encodeAtVipsQ(const vips::VImage& image, std::string_view typeIdentifier, std::optional<int> q) {
    EncodeOptions options;
    if (q) options.q = *q;
    return encodeToMemory(image, known(typeIdentifier), options);
}

}  // namespace krumple::savers
