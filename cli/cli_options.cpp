#include "cli_options.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <CLI/CLI.hpp>

#include "report_text.h"

namespace krumple::cli {
namespace {

std::optional<std::int64_t> wholeNumber(const std::string& text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || rest != end) return std::nullopt;
    return value;
}

// "250000", "250k", "1.5MB", "200KiB": decimal units as file sizes are
// shown, binary ones by their IEC names.
std::optional<std::int64_t> byteCount(const std::string& text) {
    static constexpr std::pair<std::string_view, double> units[]{
        {"KiB", 1024}, {"MiB", 1024 * 1024}, {"kB", 1e3}, {"KB", 1e3}, {"MB", 1e6}, {"k", 1e3}, {"K", 1e3}, {"M", 1e6}};
    std::string digits = text;
    double unit = 1;
    for (const auto& [suffix, size] : units)
        if (digits.ends_with(suffix)) {
            digits.resize(digits.size() - suffix.size());
            unit = size;
            break;
        }
    if (digits.empty() || digits.find_first_not_of("0123456789.") != std::string::npos) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(digits.c_str(), &end) * unit;
    if (end != digits.c_str() + digits.size() || !(value < 1e15)) return std::nullopt;
    return static_cast<std::int64_t>(std::llround(value));
}

std::optional<double> decimal(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string formatList(const std::vector<OutputFormat>& formats) {
    std::string names;
    for (const auto f : formats) {
        if (!names.empty()) names += ", ";
        names += f.rawValue();
    }
    return names.empty() ? "none" : names;
}

// The names people type for a format beside its own.
constexpr std::pair<std::string_view, OutputFormat::Case> aliases[]{
    {"jpg", OutputFormat::jpeg}, {"heif", OutputFormat::heic}, {"jpegxl", OutputFormat::jxl}};

std::optional<OutputFormat> formatNamed(const std::string& typed) {
    const std::string name = lowerCase(typed);
    for (const auto& [alias, format] : aliases)
        if (name == alias) return format;
    return OutputFormat::fromRawValue(name);
}

// Edits from one to the other, a swap of neighbours counting one.
std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// "; did you mean --quality?" for the nearest candidate, when it is near
// enough to be a slip: a third of the typed name, dashes aside.
template <typename Names>
std::string didYouMean(std::string_view typed, const Names& candidates) {
    const std::size_t allowed = (typed.size() - std::min(typed.find_first_not_of('-'), typed.size())) / 3;
    std::string_view best;
    std::size_t nearest = allowed + 1;
    for (const auto& name : candidates) {
        const std::string_view candidate(name);
        // Lengths this far apart take as many edits: no nearer, and a long argument costs nothing.
        if (std::max(typed.size(), candidate.size()) - std::min(typed.size(), candidate.size()) >= nearest) continue;
        if (const std::size_t d = editDistance(typed, candidate); d < nearest) {
            nearest = d;
            best = candidate;
        }
    }
    return best.empty() ? std::string() : "; did you mean " + std::string(best) + "?";
}

struct UsageError {
    std::string message;
};

struct Context {
    CliOptions& options;
    const std::vector<OutputFormat>& encodable;
};

// A row of the table: a flag sets its field, a valued option applies its
// value or throws UsageError.
struct Option {
    OptionInfo info;
    bool CliOptions::*flag = nullptr;
    void (*apply)(Context&, const std::string&) = nullptr;
};

void limitSide(Context& c, const std::string& v, std::string_view name, LimitedSide side) {
    const auto n = wholeNumber(v);
    if (!n || *n < 1) throw UsageError{std::string(name) + " must be a whole number of pixels, not \"" + v + "\""};
    if (c.options.maxSize && c.options.limitedSide != side)
        throw UsageError{"choose one of --max-width, --max-height and --max-side"};
    c.options.maxSize = *n;
    c.options.limitedSide = side;
}

// Every option, in the help's order.
const std::vector<Option>& table() {
    using enum ValueKind;
    static const std::vector<Option> rows{
        {{"--format", 'f', "FORMAT", format, {},
          "heic, jpeg, png, avif, jxl or webp (jpg, heif and jpegxl too, in any case)"},
         nullptr,
         [](Context& c, const std::string& v) {
             const auto format = formatNamed(v);
             if (!format)
                 throw UsageError{"unknown format \"" + v + "\" (heic, jpeg, png, avif, jxl or webp)" +
                                  didYouMean(lowerCase(v), formatNames())};
             if (std::ranges::find(c.encodable, *format) == c.encodable.end())
                 throw UsageError{"this system can't write " + v + " (it can write: " + formatList(c.encodable) + ")"};
             c.options.format = *format;
         }},
        {{"--quality", 'q', "Q", words, "auto",
          "quality from 0.05 to 1.0, or a percentage from 5 to 100 (default 0.8, as 80); 1.0 is "
          "lossless in jxl and webp; auto: the lowest quality per image that looks the same (see "
          "--target)"},
         nullptr,
         [](Context& c, const std::string& v) {
             if (lowerCase(v) == "auto") {
                 c.options.qualityMode = QualityMode::automatic;
                 return;
             }
             // Above 1 it is a percentage, as other image tools take it.
             const bool percentSign = v.ends_with('%');
             auto q = decimal(percentSign ? v.substr(0, v.size() - 1) : v);
             if (q && (percentSign || *q > 1)) *q /= 100;
             if (!q || *q < 0.05 || *q > 1.0)
                 throw UsageError{"--quality must be auto, from 0.05 to 1.0, or a percentage from 5 to 100, not \"" + v +
                                  "\""};
             c.options.quality = *q;
         }},
        {{"--target", 0, "D", number, {},
          "with auto, the largest Butteraugli distance allowed (default 1.6; 1.0 is visually lossless, "
          "3.0 good)"},
         nullptr,
         [](Context& c, const std::string& v) {
             const auto d = decimal(v);
             if (!d || *d < 0.1 || *d > 20)
                 throw UsageError{"--target must be a distance from 0.1 to 20, not \"" + v + "\""};
             c.options.target = *d;
             c.options.qualityMode = QualityMode::automatic;
         }},
        {{"--max-bytes", 0, "SIZE", number, {},
          "the highest quality per image whose file is at most SIZE bytes (k, kB, M, MB: 1000 and "
          "1000000; KiB, MiB: 1024 and 1048576); with auto, a ceiling: auto's choice unless its file "
          "is larger, then the best quality that fits"},
         nullptr,
         [](Context& c, const std::string& v) {
             const auto n = byteCount(v);
             if (!n || *n < 1)
                 throw UsageError{"--max-bytes must be bytes, or with k, kB, M, MB (powers of 1000) or KiB, MiB "
                                  "(of 1024), as in 250kB or 200KiB, not \"" + v + "\""};
             c.options.maxBytes = *n;
         }},
        {{"--max-width", 0, "N", number, {}, "largest output width in pixels (at least 16)"},
         nullptr,
         [](Context& c, const std::string& v) { limitSide(c, v, "--max-width", LimitedSide::width); }},
        {{"--max-height", 0, "N", number, {}, "largest output height in pixels (at least 16)"},
         nullptr,
         [](Context& c, const std::string& v) { limitSide(c, v, "--max-height", LimitedSide::height); }},
        {{"--max-side", 0, "N", number, {}, "largest output width and height in pixels (at least 16)"},
         nullptr,
         [](Context& c, const std::string& v) { limitSide(c, v, "--max-side", LimitedSide::longer); }},
        {{"--strip", 0, {}, none, {}, "leave metadata out (colour profiles are kept)"}, &CliOptions::stripMetadata},
        {{"--keep-dates", 0, {}, none, {}, "give each output its original's modification and access times"},
         &CliOptions::keepDates},
        {{"--only-smaller", 0, {}, none, {},
          "keep the original when its output would not be smaller: nothing is written next to it; with "
          "--out it is copied there unchanged"},
         &CliOptions::onlySmaller},
        {{"--skip-existing", 0, {}, none, {},
          "skip each file whose output name is already taken (its name before \" krumpled\" is added)"},
         &CliOptions::skipExisting},
        {{"--out", 'o', "DIR", folder, {},
          "write every output into DIR (default: next to the originals); - writes the output of - (an "
          "image on standard input) to standard output"},
         nullptr,
         [](Context& c, const std::string& v) {
             if (v.empty()) throw UsageError{"--out needs a folder"};
             c.options.outputFolder = std::filesystem::path(v);
         }},
        {{"--keep-structure", 0, {}, none, {},
          "with --out: an image found in a folder PATH keeps its place below DIR/NAME/, NAME being "
          "PATH's own name"},
         &CliOptions::keepStructure},
        {{"--files-from", 0, "FILE", file, {},
          "convert the paths listed in FILE too, one a line (- reads standard input)"},
         nullptr,
         [](Context& c, const std::string& v) {
             if (v.empty()) throw UsageError{"--files-from needs a file"};
             c.options.filesFrom.emplace_back(v);
         }},
        {{"--null", 0, {}, none, {}, "with --files-from: the paths in FILE end in NUL bytes instead of newlines"},
         &CliOptions::nullSeparated},
        {{"--jobs", 'j', "N", number, {}, "conversions at once (default: one per core)"},
         nullptr,
         [](Context& c, const std::string& v) {
             const auto n = wholeNumber(v);
             if (!n || *n < 1 || *n > 1024)
                 throw UsageError{"--jobs must be a whole number from 1 to 1024, not \"" + v + "\""};
             c.options.jobs = static_cast<int>(*n);
         }},
        {{"--difference", 0, {}, none, {},
          "measure each output against its original at full size and tell its Butteraugli distance "
          "(\"looks identical \u00B7 0.6\"); slow"},
         &CliOptions::difference},
        {{"--json", 0, {}, none, {}, "one JSON object per result instead of text"}, &CliOptions::json},
        {{"--list-formats", 0, {}, none, {}, "list the formats this system can write"}, &CliOptions::listFormats},
        {{"--help", 'h', {}, none, {}, "show this help"}, &CliOptions::help},
        {{"--version", 'V', {}, none, {}, "show the version"}, &CliOptions::version},
    };
    return rows;
}

std::string shortName(const OptionInfo& info) { return info.shortName ? std::string{'-', info.shortName} : std::string(); }

// "unknown option --qualty; did you mean --quality?"
std::string unknownOption(const std::string& name) {
    std::vector<std::string_view> names;
    for (const auto& row : table()) names.push_back(row.info.name);
    return "unknown option " + name + didYouMean(name, names);
}

}  // namespace

const std::vector<OptionInfo>& optionTable() {
    static const std::vector<OptionInfo> infos = [] {
        std::vector<OptionInfo> list;
        for (const auto& row : table()) list.push_back(row.info);
        return list;
    }();
    return infos;
}

const std::vector<std::string>& formatNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const auto format : OutputFormat::allCases()) list.emplace_back(format.rawValue());
        for (const auto& alias : aliases) list.emplace_back(alias.first);
        return list;
    }();
    return names;
}

std::string usageText(const std::vector<OutputFormat>& encodable, bool ascii) {
    constexpr std::size_t column = 25;
    std::string text = "Usage: krumple-cli [OPTIONS] PATH...\n"
                       "       krumple-cli [OPTIONS] --out DIR|- -    (one image on standard input)\n"
                       "Convert images, and the images in folders (recursively), into smaller files.\n"
                       "\n";
    for (const auto& row : table()) {
        const OptionInfo& o = row.info;
        std::string left = "  " + (o.shortName ? shortName(o) + ", " : std::string(4, ' ')) + std::string(o.name);
        if (!o.value.empty()) left += " " + std::string(o.value);
        std::string help(o.help);
        if (o.name == "--format")
            help += encodable.empty() ? "; none can be written here" : "; default here: " + std::string(encodable.front().rawValue());
        // Words filled into lines that end before column 80.
        std::string line = left + std::string(column - std::min(column - 1, left.size()), ' ');
        std::size_t filled = 0;
        for (std::size_t start = 0; start < help.size();) {
            const std::size_t stop = std::min(help.find(' ', start), help.size());
            if (filled > 0 && line.size() + 1 + stop - start >= 80) {
                text += line + "\n";
                line = std::string(column, ' ');
                filled = 0;
            }
            line += (filled++ > 0 ? " " : "") + help.substr(start, stop - start);
            start = stop + 1;
        }
        text += line + "\n";
    }
    text += "\n"
            "Exit status: 0 when every file converted, was skipped or had its original kept,\n"
            "1 when any failed or a path is gone, 2 for a usage error, 130 when interrupted\n"
            "twice.\n";
    return ascii ? asciiOnly(text) : text;
}

namespace {

// The option an argument names: "--out" for "--out=x".
std::string optionName(const std::string& arg) {
    const auto eq = arg.find('=');
    return arg.starts_with("--") && eq != std::string::npos ? arg.substr(0, eq) : arg;
}

}  // namespace

// CLI11 finds the options and their values. Each option's callback runs as it
// is met, so the first mistake on the line is the one told, and the checks
// below it keep what CLI11 reads differently from our rules: an empty value
// after '=', an argument starting with '-' that names no option, "[a,b]",
// "-quality" read as -q with the value "uality".
std::expected<CliOptions, std::string> parseArguments(const std::vector<std::string>& args,
                                                      const std::vector<OutputFormat>& encodable) {
    CliOptions options;
    Context context{options, encodable};
    CLI::App app;
    app.set_help_flag();
    app.allow_extras();  // unknown options are told below, in their turn

    // CLI11 reads from the back of this; what it has taken says where it is.
    std::vector<std::string> pending(args.rbegin(), args.rend());
    const auto taken = [&] { return args.size() - pending.size(); };
    // Unknown options wait in CLI11's leftovers, in order, beside "--".
    const auto unknownSoFar = [&] {
        for (const auto& arg : app.remaining())
            if (arg != "--") throw UsageError{unknownOption(optionName(arg))};
    };

    for (const Option& row : table()) {
        const std::string names = (row.info.shortName ? shortName(row.info) + "," : "") + std::string(row.info.name);
        if (row.flag) {
            app.add_flag_function(names, [&](std::int64_t) {
                unknownSoFar();
                const std::string& arg = args[taken() - 1];
                if (arg.starts_with("--") && arg.find('=') != std::string::npos)
                    throw UsageError{optionName(arg) + " takes no value"};
                if (arg != row.info.name && arg != shortName(row.info)) throw UsageError{unknownOption(arg)};  // "-hx": no bundles
                options.*row.flag = true;
            })->disable_flag_override()->trigger_on_parse();
            continue;
        }
        app.add_option_function<std::string>(names, [&](const std::string& given) {
            unknownSoFar();
            const std::size_t at = taken() - 1;
            if ("-" + args[at] == row.info.name) throw UsageError{unknownOption(args[at])};
            // "--out= x": the value is the empty one, x is not it.
            const bool emptyGiven = given == args[at] && at > 0 && args[at - 1] == std::string(row.info.name) + "=";
            row.apply(context, emptyGiven ? std::string() : given);
        })->trigger_on_parse();
    }
    // Paths are taken here, as met: CLI11 would split "[a,b]" into two.
    std::vector<std::string> unsplit;
    app.add_option("PATH", unsplit)->check(CLI::Validator(
        [&](const std::string& arg) {
            if (pending.empty()) return std::string();  // CLI11's second look, after the line is read
            const auto leftOver = app.remaining();
            if (arg.size() >= 2 && arg[0] == '-' && std::ranges::find(leftOver, "--") == leftOver.end())
                return std::string("an option");  // left over, so told as unknown
            options.paths.emplace_back(arg);
            return std::string();
        },
        ""));
    app.validate_positionals();

    try {
        app.parse(pending);
        unknownSoFar();
    } catch (const UsageError& error) {
        return std::unexpected(error.message);
    } catch (const CLI::ParseError& error) {
        try {
            unknownSoFar();
        } catch (const UsageError& earlier) {
            return std::unexpected(earlier.message);
        }
        // A value missing at the end, or a flag given one: the argument just taken.
        if (taken() == 0 || taken() > args.size()) return std::unexpected(std::string(error.what()));
        const std::string& arg = args[taken() - 1];
        const std::string name = optionName(arg);
        if (arg == name) return std::unexpected(name + " needs a value");
        const auto row = std::ranges::find(table(), std::string_view(name), [](const Option& o) { return o.info.name; });
        if (row == table().end() || !row->apply) return std::unexpected(name + " takes no value");
        try {
            row->apply(context, "");  // "--out=" last: the value given is the empty one
        } catch (const UsageError& empty) {
            return std::unexpected(empty.message);
        }
        return std::unexpected(name + " needs a value");
    }
    if (options.paths.empty() && options.filesFrom.empty() && !options.help && !options.version && !options.listFormats)
        return std::unexpected("no files or folders given");
    if (options.keepStructure && !options.outputFolder) return std::unexpected("--keep-structure needs --out");
    if (options.nullSeparated && options.filesFrom.empty()) return std::unexpected("--null needs --files-from");
    const bool fromStandardInput = std::ranges::find(options.paths, "-") != options.paths.end();
    if (fromStandardInput && (options.paths.size() > 1 || !options.filesFrom.empty()))
        return std::unexpected("- (an image on standard input) must be the only input");
    if (options.outputFolder == "-") {
        if (!fromStandardInput)
            return std::unexpected("--out - (standard output) takes only the image read from standard input, "
                                   "as in: krumple-cli --out - - < IN > OUT");
        options.outputFolder.reset();
        options.toStandardOutput = true;
    } else if (fromStandardInput && !options.outputFolder) {
        return std::unexpected("- (an image on standard input) needs --out: a folder, or - for standard output");
    }
    if (options.maxBytes && options.qualityMode != QualityMode::automatic) options.qualityMode = QualityMode::fileSize;
    return options;
}

std::expected<std::vector<std::filesystem::path>, std::string> readPathList(const std::filesystem::path& file,
                                                                            bool nullSeparated) {
    const bool standardInput = file == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    const auto failure = [&file] {
        return std::unexpected("can't read the list " + file.native() + ": " + std::strerror(errno));
    };
    if (fd < 0) return failure();
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const auto error = failure();
            if (!standardInput) ::close(fd);
            return error;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    if (!standardInput) ::close(fd);

    std::vector<std::filesystem::path> paths;
    const char end = nullSeparated ? '\0' : '\n';
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t stop = std::min(bytes.find(end, start), bytes.size());
        if (stop > start) paths.emplace_back(bytes.substr(start, stop - start));
        start = stop + 1;
    }
    return paths;
}

}  // namespace krumple::cli
