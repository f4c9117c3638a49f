// Output naming: where each item's output goes in a batch.

#include <algorithm>
#include <string>
#include <system_error>

#include "store.h"

namespace krumple {
namespace {

// Longest file name the file systems we write to accept, in bytes.
constexpr std::size_t maxNameBytes = 255;

// " krumpled" from the second candidate on, then " krumpled 2", " krumpled 3"...
// A base too long for its suffix is shortened, never inside a UTF-8 character.
std::string candidateName(const std::string& base, std::uint64_t n, std::string_view extension) {
    std::string suffix;
    if (n == 1) suffix = " krumpled";
    if (n >= 2) suffix = " krumpled " + std::to_string(n);
    suffix += '.';
    suffix += extension;
    std::size_t keep = std::min(base.size(), maxNameBytes - suffix.size());
    while (keep > 0 && keep < base.size() && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80) --keep;
    return base.substr(0, keep) + suffix;
}

// Anything at all at the path, a dangling link included. When that cannot be
// told, the name is taken as free: the write refuses to replace what it finds.
bool somethingAt(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    return !error && status.type() != std::filesystem::file_type::not_found;
}

}  // namespace

std::optional<Store::Path> Store::assignOutputURL(const ImageItem& item, OutputReservations& reservations) const {
    Path folder;
    if (outputMode_ == OutputMode::folder) {
        if (!outputFolder_) return std::nullopt;
        folder = standardized(*outputFolder_);
    } else {
        folder = standardized(item.url).parent_path();
    }
    const std::string base = item.url.filename().stem().native();
    const std::string source = standardizedPath(item.url);
    const std::optional<std::string> earlierOutput =
        item.outputURL ? std::optional(standardizedPath(*item.outputURL)) : std::nullopt;

    for (std::uint64_t n = 0;; ++n) {
        const Path candidate = folder / candidateName(base, n, format_.fileExtension());
        const std::string& path = candidate.native();
        if (reservations.reserved.contains(path)) continue;
        // Never a source: neither this item's nor any other listed one's (an
        // earlier output may since have been added as a source itself).
        if (path == source || reservations.sources.contains(path)) continue;
        if (path == earlierOutput || !somethingAt(candidate)) {
            reservations.reserved.insert(path);
            return candidate;
        }
    }
}

void Store::chooseOutputFolder() {
    if (!panels_) return;
    std::optional<Path> chosen = panels_->chooseOutputFolder();
    if (!chosen) return;
    setOutputFolder(std::move(chosen));
    setOutputMode(OutputMode::folder);
}

}  // namespace krumple
