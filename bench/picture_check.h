#pragma once

// Checks on output files: that ours and the peer made the same pixel size,
// and a rough fidelity figure against the source.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace krumple::bench {

struct PictureSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// Stored pixel size, and the size after applying the EXIF orientation.
std::optional<PictureSize> pictureSize(const std::filesystem::path& file);
std::optional<PictureSize> uprightSize(const std::filesystem::path& file);
std::string describe(const std::optional<PictureSize>& size);

// PSNR in dB of `output` against `source`, both decoded upright to 8-bit sRGB
// RGB. Only for outputs at the source's size; nullopt otherwise.
std::optional<double> psnr(const std::filesystem::path& source, const std::filesystem::path& output);

std::int64_t fileBytes(const std::filesystem::path& file);

}  // namespace krumple::bench
