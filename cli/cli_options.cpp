#include "cli_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

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
           "                    (k and M suffixes: 1000 and 1000000)\n"
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
           "  --jobs N          conversions at once (default: one per core)\n"
           "  --difference      measure each output against its original at full size and tell\n"
           "                    its Butteraugli distance (\"looks identical \u00B7 0.6\"); slow\n"
           "  --json            one JSON object per result instead of text\n"
           "  --list-formats    list the formats this system can write\n"
           "  --help            show this help\n"
           "  --version         show the version\n"
           "\n"
           "Exit status: 0 when every file converted or its original was kept, 1 when any failed,\n"
           "2 for a usage error.\n";
}

std::expected<CliOptions, std::string> parseArguments(const std::vector<std::string>& args,
                                                      const std::vector<OutputFormat>& encodable) {
    CliOptions options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            options.paths.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        auto flag = [&](bool& field) -> std::optional<std::string> {
            if (inlineValue) return name + " takes no value";
            field = true;
            return std::nullopt;
        };
        auto value = [&]() -> std::expected<std::string, std::string> {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= args.size()) return std::unexpected(name + " needs a value");
            return args[++i];
        };

        std::optional<std::string> error;
        if (name == "--strip") {
            error = flag(options.stripMetadata);
        } else if (name == "--keep-dates") {
            error = flag(options.keepDates);
        } else if (name == "--only-smaller") {
            error = flag(options.onlySmaller);
        } else if (name == "--keep-structure") {
            error = flag(options.keepStructure);
        } else if (name == "--json") {
            error = flag(options.json);
        } else if (name == "--difference") {
            error = flag(options.difference);
        } else if (name == "--list-formats") {
            error = flag(options.listFormats);
        } else if (name == "--help" || name == "-h") {
            error = flag(options.help);
        } else if (name == "--version") {
            error = flag(options.version);
        } else if (name == "--format" || name == "--quality" || name == "--max-width" || name == "--max-height" ||
                   name == "--max-side" || name == "--out" || name == "--jobs" || name == "--target" ||
                   name == "--max-bytes") {
            const auto given = value();
            if (!given) return std::unexpected(given.error());
            const std::string& v = *given;
            if (name == "--format") {
                const auto format = OutputFormat::fromRawValue(v);
                if (!format) return std::unexpected("unknown format \"" + v + "\" (heic, jpeg, png, avif, jxl or webp)");
                if (std::find(encodable.begin(), encodable.end(), *format) == encodable.end())
                    return std::unexpected("this system can't write " + v + " (it can write: " +
                                           formatNames(encodable) + ")");
                options.format = *format;
            } else if (name == "--quality" && v == "auto") {
                options.qualityMode = QualityMode::automatic;
            } else if (name == "--target") {
                const auto d = decimal(v);
                if (!d || *d < 0.1 || *d > 20) return std::unexpected("--target must be a distance from 0.1 to 20, not \"" + v + "\"");
                options.target = *d;
                options.qualityMode = QualityMode::automatic;
            } else if (name == "--max-bytes") {
                const auto n = byteCount(v);
                if (!n || *n < 1) return std::unexpected("--max-bytes must be a number of bytes (k and M allowed), not \"" + v + "\"");
                options.maxBytes = *n;
            } else if (name == "--quality") {
                const auto q = decimal(v);
                if (!q || *q < 0.05 || *q > 1.0) return std::unexpected("--quality must be from 0.05 to 1.0, not \"" + v + "\"");
                options.quality = *q;
            } else if (name.starts_with("--max-")) {
                const auto n = wholeNumber(v);
                if (!n || *n < 1) return std::unexpected(name + " must be a whole number of pixels, not \"" + v + "\"");
                const LimitedSide side = name == "--max-width"    ? LimitedSide::width
                                         : name == "--max-height" ? LimitedSide::height
                                                                  : LimitedSide::longer;
                if (options.maxSize && options.limitedSide != side)
                    return std::unexpected("choose one of --max-width, --max-height and --max-side");
                options.maxSize = *n;
                options.limitedSide = side;
            } else if (name == "--out") {
                if (v.empty()) return std::unexpected("--out needs a folder");
                options.outputFolder = std::filesystem::path(v);
            } else {
                const auto n = wholeNumber(v);
                if (!n || *n < 1 || *n > 1024) return std::unexpected("--jobs must be a whole number from 1 to 1024, not \"" + v + "\"");
                options.jobs = static_cast<int>(*n);
            }
        } else {
            return std::unexpected("unknown option " + name);
        }
        if (error) return std::unexpected(*error);
    }
    if (options.paths.empty() && !options.help && !options.version && !options.listFormats)
        return std::unexpected("no files or folders given");
    if (options.keepStructure && !options.outputFolder) return std::unexpected("--keep-structure needs --out");
    if (options.maxBytes && options.qualityMode == QualityMode::automatic)
        return std::unexpected("choose one of --quality auto and --max-bytes");
    if (options.maxBytes) options.qualityMode = QualityMode::fileSize;
    return options;
}

}  // namespace krumple::cli
