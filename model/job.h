#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "item_id.h"

namespace krumple {

// One unit of batch work.
struct Job {
    ItemId id;
    std::filesystem::path src;
    std::filesystem::path dst;
    // True only when dst is the item's own earlier output, which this batch
    // rewrites. Anything else found at dst when writing is left alone.
    bool replacesOwnOutput = false;
    // With only smaller files in an output folder: where the source is copied
    // unchanged when its output is not smaller, and whether that path is the
    // item's own earlier output.
    std::optional<std::filesystem::path> keptCopy = std::nullopt;
    bool keptCopyReplacesOwnOutput = false;
    // Set when the structure is kept under an output folder: the folders
    // between this one and dst are made when missing.
    std::optional<std::filesystem::path> foldersBelow = std::nullopt;

    friend bool operator==(const Job&, const Job&) = default;
};

// What a job left on disk.
struct JobOutput {
    std::int64_t size = 0;  // bytes of the output, or of the original kept instead
    // Set when the output came out no smaller and the original was kept: the
    // bytes the output would have had.
    std::optional<std::int64_t> rejectedSize = std::nullopt;
    // Where the result is when it isn't the job's dst: the kept copy, or the source.
    std::optional<std::filesystem::path> at = std::nullopt;
    // Set when the quality was searched for: the one chosen (0–1), and the
    // Butteraugli distance the search measured.
    std::optional<double> quality = std::nullopt;
    std::optional<double> distance = std::nullopt;
    // Set when the batch measures its outputs: the written output's Butteraugli
    // distance from its source, over the whole picture.
    std::optional<double> difference = std::nullopt;
    // Set for a JPEG into lossless JPEG XL: whether a decoder rebuilds the source from the output.
    std::optional<bool> rebuildsJpeg = std::nullopt;
    // An animation's frames, and those written (the first only where the format holds no animation).
    int sourceFrames = 1;
    int frames = 1;

    friend bool operator==(const JobOutput&, const JobOutput&) = default;
};

// The outcome of one job: `output` on success, `error` on failure.
struct JobResult {
    ItemId id;
    std::optional<JobOutput> output;
    std::optional<Failure> error;

    friend bool operator==(const JobResult&, const JobResult&) = default;
};

}  // namespace krumple
