#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
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
    bool skipExisting = false;   // leave out items whose output's plain name is taken
    bool keepStructure = false;  // with outputFolder only
    std::optional<std::filesystem::path> outputFolder;  // absent: next to the originals
    bool toStandardOutput = false;  // --out -: the one output goes to standard output
    std::optional<int> jobs;                            // absent: one per core
    bool json = false;
    bool difference = false;  // measure each output against its original at full size
    bool listFormats = false;
    bool help = false;
    bool version = false;
    std::vector<std::filesystem::path> paths;      // "-" alone: one image on standard input
    std::vector<std::filesystem::path> filesFrom;  // lists of more paths; "-" is standard input
    bool nullSeparated = false;                     // the lists' paths end in NUL, not newline
};

// What an option's value is, for the help and for shell completion.
enum class ValueKind { none, words, format, file, folder, number };

// One option as the help and the shell completions show it. The parser
// reads the same table.
struct OptionInfo {
    std::string_view name;   // "--quality"
    char shortName = 0;      // 'q'; 0 for none
    std::string_view value;  // "Q" in the help; empty for a flag
    ValueKind kind = ValueKind::none;
    std::string_view words;  // with ValueKind::words, the values offered, space-separated
    std::string_view help;   // lines separated by '\n'
};
const std::vector<OptionInfo>& optionTable();

// Every name --format takes, in lower case: the formats' own, then their aliases.
const std::vector<std::string>& formatNames();

// Arguments without the program name. A usage error comes back as its
// message. Formats are checked against `encodable`.
std::expected<CliOptions, std::string> parseArguments(const std::vector<std::string>& args,
                                                      const std::vector<OutputFormat>& encodable);

// The help, naming the default format among `encodable`; `ascii` for a
// terminal that can't show UTF-8.
std::string usageText(const std::vector<OutputFormat>& encodable, bool ascii = false);

// The paths in a list file ("-": standard input), one a line or, with
// `nullSeparated`, each ending in NUL. Names are bytes: nothing is trimmed,
// empty entries are skipped. A list that can't be read comes back as the message.
std::expected<std::vector<std::filesystem::path>, std::string> readPathList(const std::filesystem::path& file,
                                                                            bool nullSeparated);

}  // namespace krumple::cli
