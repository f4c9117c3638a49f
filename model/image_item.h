#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "convert_error.h"
#include "item_id.h"

namespace krumple {

// Where one item stands. Only `failed` carries a reason.
class ItemStatus {
public:
    enum Kind : unsigned char { pending, converting, done, failed };

    ItemStatus(Kind kind = pending) : kind_(kind) {}
    static ItemStatus failure(Failure reason) { return ItemStatus(failed, reason); }

    Kind kind() const { return kind_; }
    // Why it failed; Failure::Kind::unknown unless failed.
    const Failure& reason() const { return reason_; }

    friend bool operator==(const ItemStatus&, const ItemStatus&) = default;

private:
    ItemStatus(Kind kind, Failure reason) : kind_(kind), reason_(reason) {}
    Kind kind_;
    Failure reason_;
};

// One source file in the list. A plain value: copies are handed to rows and
// to background work.
struct ImageItem {
    ItemId id;
    std::filesystem::path url;          // the source, as it was added (not standardized)
    std::int64_t originalSize = 0;      // bytes when added; 0 when unknown
    ItemStatus status;
    std::optional<std::filesystem::path> outputURL;  // set when a batch queues the item; gone on failure
    std::optional<std::int64_t> outputSize;          // set on success; gone when queued again
    // Set when the output came out no smaller than its source and the original
    // was kept instead (outputURL then is the kept copy, or the source itself):
    // the bytes the output would have had. Gone when queued again.
    std::optional<std::int64_t> rejectedOutputSize = std::nullopt;
    // Set when the quality was searched for: the one chosen (0–1), and the
    // Butteraugli distance measured. Gone when queued again.
    std::optional<double> chosenQuality = std::nullopt;
    std::optional<double> distance = std::nullopt;
    // Set when the batch measured its output against the source. Gone when queued again.
    std::optional<double> difference = std::nullopt;
    // Set for a JPEG into lossless JPEG XL: whether a decoder rebuilds the
    // source byte for byte from the output. Gone when queued again.
    std::optional<bool> rebuildsJpeg = std::nullopt;
    // An animated source's frames (known when added), and those its output
    // holds (reset when queued again).
    int sourceFrames = 1;
    int frames = 1;
    // The dropped folder it was found in, as added; none when added on its own.
    std::optional<std::filesystem::path> cameThrough = std::nullopt;
    int revision = 0;                   // +1 per recorded result: tells viewers the output was rewritten

    friend bool operator==(const ImageItem&, const ImageItem&) = default;
};

}  // namespace krumple
