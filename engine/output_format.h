#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace krumple {

// The closed set of output formats. Declaration order matters: it is the
// order of allCases(), of available() and of the format picker.
class OutputFormat {
public:
    enum Case : unsigned char { heic, jpeg, png, avif, jxl, webp };

    constexpr OutputFormat(Case c) : case_(c) {}
    // Equality and switch go through the case.
    constexpr operator Case() const { return case_; }

    static std::optional<OutputFormat> fromRawValue(std::string_view raw);
    static const std::array<OutputFormat, 6>& allCases();

    // The formats the writer can really encode, probed once per process.
    static const std::vector<OutputFormat>& available();
    // The same filter over a given writer list; nullopt stands for "no list".
    static std::vector<OutputFormat> availableFrom(
        const std::optional<std::vector<std::string>>& writerTypeIdentifiers);

    std::string_view rawValue() const;
    std::string_view label() const;
    std::string_view fileExtension() const;
    std::string_view typeIdentifier() const;
    bool isLossless() const { return case_ == png; }
    // Whether this format writes exact pixels at `quality` (0–1): PNG always,
    // JPEG XL and WebP at 100 %.
    bool isLosslessAt(double quality) const {
        return isLossless() || ((case_ == jxl || case_ == webp) && quality >= 1.0);
    }
    // Whether an animation is written with all its frames; the other formats
    // get its first frame.
    bool holdsFrames() const { return case_ == webp || case_ == jxl || case_ == png || case_ == avif; }
    // Whether this format holds more than 8 bits a sample.
    bool keepsDeepColour() const { return case_ != jpeg && case_ != webp; }

private:
    Case case_;
};

enum class OutputMode { alongside, folder };

}  // namespace krumple
