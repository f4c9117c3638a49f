#include "cli_options.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>

#include <CLI/CLI.hpp>

namespace krumple::cli {
namespace {

std::optional<std::int64_t> wholeNumber(const std::string& text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || rest != end) return std::nullopt;
    return value;
}

// "250000", "250k", "1.5M": decimal units, as file sizes are shown.
std::optional<std::int64_t> byteCount(const std::string& text) {
    if (text.empty()) return std::nullopt;
    double unit = 1;
    std::string digits = text;
    if (digits.back() == 'k') unit = 1e3;
    if (digits.back() == 'M') unit = 1e6;
    if (unit > 1) digits.pop_back();
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

std::string formatNames(const std::vector<OutputFormat>& formats) {
    std::string names;
    for (const auto f : formats) {
        if (!names.empty()) names += ", ";
        names += f.rawValue();
    }
    return names.empty() ? "none" : names;
}

}  // namespace

std::string usageText() {
    return "Usage: krumple-cli [OPTIONS] PATH...\n"
           "Convert images, and the images in folders (searched recursively), to a smaller format.\n"
           "\n"
           "  --format FORMAT   heic, jpeg, png, avif, jxl or webp (default: the first this system encodes)\n"
           "  --quality Q       quality from 0.05 to 1.0 (default 0.8); 1.0 is lossless in jxl and webp;\n"
           "                    auto: the lowest quality per image that looks the same (see --target)\n"
           "  --target D        with auto, the largest Butteraugli distance allowed (default 1.6;\n"
           "                    1.0 is visually lossless, 3.0 good)\n"
           "  --max-bytes N     the highest quality per image whose file is at most N bytes\n"
           "                    (k and M suffixes: 1000 and 1000000); with auto, a ceiling: auto's\n"
           "                    choice unless its file is larger, then the best quality that fits\n"
           "  --max-width N     largest output width in pixels (at least 16)\n"
           "  --max-height N    largest output height in pixels (at least 16)\n"
           "  --max-side N      largest output width and height in pixels (at least 16)\n"
           "  --strip           leave metadata out (colour profiles are kept)\n"
           "  --keep-dates      give each output its original's modification and access times\n"
           "  --only-smaller    keep the original when its output would not be smaller: nothing\n"
           "                    is written next to it; with --out it is copied there unchanged\n"
           "  --out DIR         write every output into DIR (default: next to the originals)\n"
           "  --keep-structure  with --out: an image found in a folder PATH goes to\n"
           "                    DIR/<PATH's name>/<its folders below PATH>/\n"
           "  --files-from FILE convert the paths listed in FILE too, one a line (- reads standard input)\n"
           "  --null            with --files-from: the paths in FILE end in NUL bytes instead of newlines\n"
           "  --jobs N          conversions at once (default: one per core)\n"
           "  --difference      measure each output against its original at full size and tell\n"
           "                    its Butteraugli distance (\"looks identical \u00B7 0.6\"); slow\n"
           "  --json            one JSON object per result instead of text\n"
           "  --list-formats    list the formats this system can write\n"
           "  --help            show this help\n"
           "  --version         show the version\n"
           "\n"
           "Exit status: 0 when every file converted or its original was kept, 1 when any failed\n"
           "or a path is gone, 2 for a usage error, 130 when interrupted twice.\n";
}

namespace {

struct UsageError {
    std::string message;
};

// The option an argument names: "--out" for "--out=x".
std::string optionName(const std::string& arg) {
    const auto eq = arg.find('=');
    return arg.starts_with("--") && eq != std::string::npos ? arg.substr(0, eq) : arg;
}

}  // namespace

// CLI11 finds the options and their values. Each option's callback runs as it
// is met, so the first mistake on the line is the one told, and the checks
// below it keep what CLI11 reads differently from our rules: an empty value
// after '=', an argument starting with '-' that names no option, "[a,b]".
std::expected<CliOptions, std::string> parseArguments(const std::vector<std::string>& args,
                                                      const std::vector<OutputFormat>& encodable) {
    CliOptions options;
    CLI::App app;
    app.set_help_flag();
    app.allow_extras();  // unknown options are told below, in their turn

    // CLI11 reads from the back of this; what it has taken says where it is.
    std::vector<std::string> pending(args.rbegin(), args.rend());
    const auto taken = [&] { return args.size() - pending.size(); };
    // Unknown options wait in CLI11's leftovers, in order, beside "--".
    const auto unknownSoFar = [&] {
        for (const auto& arg : app.remaining())
            if (arg != "--") throw UsageError{"unknown option " + optionName(arg)};
    };

    const auto flag = [&](const std::string& names, bool& field) {
        app.add_flag_function(names, [&, names, target = &field](std::int64_t) {
            unknownSoFar();
            const std::string& arg = args[taken() - 1];
            if (arg.starts_with("--") && arg.find('=') != std::string::npos)
                throw UsageError{optionName(arg) + " takes no value"};
            if (arg != names && !names.starts_with(arg + ",") && !names.ends_with("," + arg))
                throw UsageError{"unknown option " + arg};  // "-hx": no bundles
            *target = true;
        })->disable_flag_override()->trigger_on_parse();
    };
    std::map<std::string, std::function<void(const std::string&)>> appliers;
    const auto valued = [&](const std::string& name, std::function<void(const std::string&)> apply) {
        appliers[name] = apply;
        app.add_option_function<std::string>(name, [&, name, apply](const std::string& given) {
            unknownSoFar();
            // "--out= x": the value is the empty one, x is not it.
            const std::size_t at = taken() - 1;
            const bool emptyGiven = given == args[at] && at > 0 && args[at - 1] == name + "=";
            apply(emptyGiven ? std::string() : given);
        })->trigger_on_parse();
    };

    flag("--strip", options.stripMetadata);
    flag("--keep-dates", options.keepDates);
    flag("--only-smaller", options.onlySmaller);
    flag("--keep-structure", options.keepStructure);
    flag("--json", options.json);
    flag("--difference", options.difference);
    flag("--null", options.nullSeparated);
    flag("--list-formats", options.listFormats);
    flag("-h,--help", options.help);
    flag("--version", options.version);
    valued("--format", [&](const std::string& v) {
        const auto format = OutputFormat::fromRawValue(v);
        if (!format) throw UsageError{"unknown format \"" + v + "\" (heic, jpeg, png, avif, jxl or webp)"};
        if (std::find(encodable.begin(), encodable.end(), *format) == encodable.end())
            throw UsageError{"this system can't write " + v + " (it can write: " + formatNames(encodable) + ")"};
        options.format = *format;
    });
    valued("--quality", [&](const std::string& v) {
        if (v == "auto") {
            options.qualityMode = QualityMode::automatic;
            return;
        }
        const auto q = decimal(v);
        if (!q || *q < 0.05 || *q > 1.0) throw UsageError{"--quality must be from 0.05 to 1.0, not \"" + v + "\""};
        options.quality = *q;
    });
    valued("--target", [&](const std::string& v) {
        const auto d = decimal(v);
        if (!d || *d < 0.1 || *d > 20) throw UsageError{"--target must be a distance from 0.1 to 20, not \"" + v + "\""};
        options.target = *d;
        options.qualityMode = QualityMode::automatic;
    });
    valued("--max-bytes", [&](const std::string& v) {
        const auto n = byteCount(v);
        if (!n || *n < 1) throw UsageError{"--max-bytes must be a number of bytes (k and M allowed), not \"" + v + "\""};
        options.maxBytes = *n;
    });
    for (const auto& [name, side] : {std::pair{"--max-width", LimitedSide::width},
                                     std::pair{"--max-height", LimitedSide::height},
                                     std::pair{"--max-side", LimitedSide::longer}}) {
        valued(name, [&, name, side](const std::string& v) {
            const auto n = wholeNumber(v);
            if (!n || *n < 1) throw UsageError{std::string(name) + " must be a whole number of pixels, not \"" + v + "\""};
            if (options.maxSize && options.limitedSide != side)
                throw UsageError{"choose one of --max-width, --max-height and --max-side"};
            options.maxSize = *n;
            options.limitedSide = side;
        });
    }
    valued("--out", [&](const std::string& v) {
        if (v.empty()) throw UsageError{"--out needs a folder"};
        options.outputFolder = std::filesystem::path(v);
    });
    valued("--jobs", [&](const std::string& v) {
        const auto n = wholeNumber(v);
        if (!n || *n < 1 || *n > 1024) throw UsageError{"--jobs must be a whole number from 1 to 1024, not \"" + v + "\""};
        options.jobs = static_cast<int>(*n);
    });
    valued("--files-from", [&](const std::string& v) {
        if (v.empty()) throw UsageError{"--files-from needs a file"};
        options.filesFrom.emplace_back(v);
    });
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
        const auto apply = appliers.find(name);
        if (apply == appliers.end()) return std::unexpected(name + " takes no value");
        try {
            apply->second("");  // "--out=" last: the value given is the empty one
        } catch (const UsageError& empty) {
            return std::unexpected(empty.message);
        }
        return std::unexpected(name + " needs a value");
    }
    if (options.paths.empty() && options.filesFrom.empty() && !options.help && !options.version && !options.listFormats)
        return std::unexpected("no files or folders given");
    if (options.keepStructure && !options.outputFolder) return std::unexpected("--keep-structure needs --out");
    if (options.nullSeparated && options.filesFrom.empty()) return std::unexpected("--null needs --files-from");
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
