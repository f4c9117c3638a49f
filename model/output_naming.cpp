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
    if (!extension.empty()) {
        suffix += '.';
        suffix += extension;
    }
    std::size_t keep = std::min(base.size(), maxNameBytes - std::min(maxNameBytes, suffix.size()));
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

// The first free name for `base`.`extension` in `folder` (see assignOutputURL()).
std::filesystem::path freeName(const std::filesystem::path& folder, const ImageItem& item, std::string_view extension,
                               OutputReservations& reservations) {
    const std::string base = item.url.filename().stem().native();
    const std::string source = standardizedPath(item.url);
    const std::optional<std::string> earlierOutput =
        item.outputURL ? std::optional(standardizedPath(*item.outputURL)) : std::nullopt;

    for (std::uint64_t n = 0;; ++n) {
        const std::filesystem::path candidate = folder / candidateName(base, n, extension);
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

}  // namespace

Store::Path Store::outputFolderFor(const ImageItem& item) const {
    if (outputMode_ == OutputMode::alongside) return standardized(item.url).parent_path();
    Path folder = standardized(*outputFolder_);
    if (!keepStructure_ || !item.cameThrough) return folder;
    const Path dropped = standardized(*item.cameThrough);
    const Path below = standardized(item.url).parent_path().lexically_relative(dropped);
    // The walk only finds files inside the dropped folder; anything else stays at the top.
    if (below.empty() || *below.begin() == "..") return folder;
    if (!dropped.filename().empty()) folder /= dropped.filename();
    if (below != ".") folder /= below;
    return folder;
}

std::optional<Store::Path> Store::assignOutputURL(const ImageItem& item, OutputReservations& reservations) const {
    if (outputMode_ == OutputMode::folder && !outputFolder_) return std::nullopt;
    return freeName(outputFolderFor(item), item, format_.fileExtension(), reservations);
}

std::optional<Store::Path> Store::plainOutputURL(const ImageItem& item) const {
    if (outputMode_ == OutputMode::folder && !outputFolder_) return std::nullopt;
    return outputFolderFor(item) / candidateName(item.url.filename().stem().native(), 0, format_.fileExtension());
}

Store::Path Store::assignKeptCopyURL(const ImageItem& item, const Path& output, OutputReservations& reservations) const {
    const std::string extension = item.url.extension().native();
    const std::string_view own = extension.empty() ? std::string_view() : std::string_view(extension).substr(1);
    if (own == format_.fileExtension()) return output;
    return freeName(output.parent_path(), item, own, reservations);
}

void Store::chooseOutputFolder() {
    if (!panels_) return;
    std::optional<Path> chosen = panels_->chooseOutputFolder();
    if (!chosen) return;
    setOutputFolder(std::move(chosen));
    setOutputMode(OutputMode::folder);
}

}  // namespace krumple
