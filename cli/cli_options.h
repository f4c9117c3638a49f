#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "convert_settings.h"
#include "output_format.h"

namespace krumple::cli {

struct CliOptions {
    std::optional<OutputFormat> format;  // absent: the store's default
    double quality = 0.8;
    QualityMode qualityMode = QualityMode::fixed;  // automatic: --quality auto or --target
    std::optional<double> target;                  // the distance for automatic quality
    std::optional<std::int64_t> maxBytes;          // the cap for the file size mode
    std::optional<std::int64_t> maxSize;  // pixels, on `limitedSide`
    LimitedSide limitedSide = LimitedSide::width;
    bool stripMetadata = false;
    bool keepDates = false;
    bool onlySmaller = false;
    bool keepStructure = false;  // with outputFolder only
    std::optional<std::filesystem::path> outputFolder;  // absent: next to the originals
    std::optional<int> jobs;                            // absent: one per core
    bool json = false;
    bool difference = false;  // measure each output against its original at full size
    bool listFormats = false;
    bool help = false;
    bool version = false;
    std::vector<std::filesystem::path> paths;
    std::vector<std::filesystem::path> filesFrom;  // lists of more paths; "-" is standard input
    bool nullSeparated = false;                     // the lists' paths end in NUL, not newline
};

// Arguments without the program name. A usage error comes back as its
// message. Formats are checked against `encodable`.
std::expected<CliOptions, std::string> parseArguments(const std::vector<std::string>& args,
                                                      const std::vector<OutputFormat>& encodable);

std::string usageText();

// The paths in a list file ("-": standard input), one a line or, with
// `nullSeparated`, each ending in NUL. Names are bytes: nothing is trimmed,
// empty entries are skipped. A list that can't be read comes back as the message.
std::expected<std::vector<std::filesystem::path>, std::string> readPathList(const std::filesystem::path& file,
                                                                            bool nullSeparated);

}  // namespace krumple::cli
