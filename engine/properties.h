#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace krumple {

using Blob = std::vector<std::uint8_t>;
struct PropertyValue;
// Keyed by property name; values are numbers, strings or raw bytes.
using Properties = std::map<std::string, PropertyValue, std::less<>>;

struct PropertyValue : std::variant<double, std::string, Blob> {
    using variant::variant;
    PropertyValue(int v) : variant(static_cast<double>(v)) {}
    PropertyValue(std::int64_t v) : variant(static_cast<double>(v)) {}
    PropertyValue(const char* s) : variant(std::string(s)) {}

    const double* number() const { return std::get_if<double>(this); }
    const std::string* string() const { return std::get_if<std::string>(this); }
    const Blob* blob() const { return std::get_if<Blob>(this); }
};

// Property names: what the reader reports and the writer needs.
namespace prop {
inline constexpr std::string_view pixelWidth = "PixelWidth";
inline constexpr std::string_view pixelHeight = "PixelHeight";
inline constexpr std::string_view orientation = "Orientation";

// Raw metadata blocks as stored in the file: EXIF as a TIFF structure
// (no "Exif\0\0" prefix), XMP packet, IPTC resource block.
inline constexpr std::string_view exifData = "{ExifData}";
inline constexpr std::string_view xmpData = "{XMPData}";
inline constexpr std::string_view iptcData = "{IPTCData}";
}  // namespace prop

// A number stored at `key`, or nullopt when absent or not a number.
std::optional<double> numberAt(const Properties& p, std::string_view key);

}  // namespace krumple
