#include "output_format.h"

#include <algorithm>
#include <unordered_set>

#include "image_library.h"

namespace krumple {

namespace {
struct FormatRow {
    std::string_view raw, label, extension, typeIdentifier;
};
constexpr std::array<FormatRow, 6> rows{{
    {"heic", "HEIC", "heic", "public.heic"},
    {"jpeg", "JPEG", "jpg", "public.jpeg"},
    {"png", "PNG", "png", "public.png"},
    {"avif", "AVIF", "avif", "public.avif"},
    {"jxl", "JPEG XL", "jxl", "public.jxl"},
    {"webp", "WebP", "webp", "org.webmproject.webp"},
}};
const FormatRow& row(OutputFormat f) { return rows[static_cast<std::size_t>(OutputFormat::Case(f))]; }
}  // namespace

std::optional<OutputFormat> OutputFormat::fromRawValue(std::string_view raw) {
    for (OutputFormat f : allCases())
        if (row(f).raw == raw) return f;
    return std::nullopt;
}

const std::array<OutputFormat, 6>& OutputFormat::allCases() {
    static constexpr std::array<OutputFormat, 6> all{heic, jpeg, png, avif, jxl, webp};
    return all;
}

std::vector<OutputFormat> OutputFormat::availableFrom(
    const std::optional<std::vector<std::string>>& writerTypeIdentifiers) {
    std::vector<OutputFormat> result;
    if (!writerTypeIdentifiers) return result;
    const std::unordered_set<std::string_view> offered(writerTypeIdentifiers->begin(),
                                                       writerTypeIdentifiers->end());
    for (OutputFormat f : allCases())
        if (offered.contains(f.typeIdentifier())) result.push_back(f);
    return result;
}

const std::vector<OutputFormat>& OutputFormat::available() {
    // Function-local static: initialised once, thread-safe.
    static const std::vector<OutputFormat> list = availableFrom(writableTypeIdentifiers());
    return list;
}

std::string_view OutputFormat::rawValue() const { return row(*this).raw; }
std::string_view OutputFormat::label() const { return row(*this).label; }
std::string_view OutputFormat::fileExtension() const { return row(*this).extension; }
std::string_view OutputFormat::typeIdentifier() const { return row(*this).typeIdentifier; }

}  // namespace krumple
