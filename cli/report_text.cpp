#include "report_text.h"

#include <langinfo.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "file_paths.h"
#include "fmt.h"
#include "list_totals.h"

namespace krumple::cli {

namespace {
// A number in JSON and in text: up to three decimals, no trailing zeros.
std::string shortNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", v);
    std::string out = text;
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
    return out;
}

// The same figure as a JSON number: dump() writes the shortest text that
// reads back as the double, which is the text above, and "1" rather than "1.0".
nlohmann::ordered_json jsonNumber(double v) {
    const std::string text = shortNumber(v);
    if (text.find('.') == std::string::npos) return std::stoll(text);
    return std::stod(text);
}

// One object on one line. JSON can't carry bytes that aren't UTF-8: each
// broken sequence becomes U+FFFD.
std::string jsonLine(const nlohmann::ordered_json& object) {
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// " · quality 62%, distance 1.41": what a search chose; empty otherwise.
std::string searched(const ImageItem& item) {
    if (!item.chosenQuality) return {};
    std::string text = " \u00B7 quality " + std::to_string(std::lround(*item.chosenQuality * 100)) + "%";
    if (item.distance) text += ", distance " + shortNumber(*item.distance);
    return text;
}
// " · 3 frames" for an animation kept whole, " · first frame of 3" for a still of one.
std::string framesText(const ImageItem& item) {
    if (item.sourceFrames <= 1) return {};
    if (item.frames > 1) return " \u00B7 " + std::to_string(item.frames) + " frames";
    return " \u00B7 first frame of " + std::to_string(item.sourceFrames);
}


// The output as one would type it: beside the source, as the source was
// given; else from the working folder when below it; else in full.
std::string shownPath(const std::filesystem::path& source, const std::filesystem::path& output) {
    const std::filesystem::path out = standardized(output);
    if (out.parent_path() == standardized(source).parent_path()) return (source.parent_path() / out.filename()).native();
    std::error_code error;
    const std::filesystem::path below = out.lexically_relative(std::filesystem::current_path(error));
    return !error && !below.empty() && *below.begin() != ".." ? below.native() : out.native();
}

// " → out/a.webp" unless the output is the source's name with the new extension, beside it.
std::string whereTo(const ImageItem& item, bool ascii) {
    if (!item.outputURL) return {};
    std::filesystem::path beside = item.url;
    beside.replace_extension(item.outputURL->extension());
    if (standardized(beside) == standardized(*item.outputURL)) return {};
    return (ascii ? " -> " : " \u2192 ") + shownPath(item.url, *item.outputURL);
}

std::string said(bool ascii, const std::string& text) { return ascii ? asciiOnly(text) : text; }
}  // namespace

std::string resultLine(const ImageItem& item, bool ascii) {
    const std::string name = item.url.native();
    if (item.status.kind() == ItemStatus::done && item.rejectedOutputSize)
        return name + whereTo(item, ascii) + said(ascii, ": " + Fmt::keptOriginal(item.originalSize, *item.rejectedOutputSize,
                                                                                 item.sourceFrames > 1 && item.frames == 1));
    if (item.status.kind() == ItemStatus::done)
        return name + whereTo(item, ascii) +
               said(ascii, ": " + Fmt::savings(item.originalSize, item.outputSize.value_or(0)) + searched(item) +
                               (item.difference ? " \u00B7 " + Fmt::distanceText(*item.difference) : std::string()) +
                               (item.rebuildsJpeg ? *item.rebuildsJpeg ? " \u00B7 JPEG restorable" : " \u00B7 JPEG not restorable" : "") +
                               framesText(item));
    if (item.status.kind() == ItemStatus::failed) return failureLine(name, Fmt::failureText(item.status.reason()), ascii);
    return name + ": not converted";
}

std::string failureLine(const std::string& path, std::string_view message, bool ascii) {
    return path + said(ascii, ": " + std::string(message));
}

std::string skippedLine(const ImageItem& item, const std::filesystem::path& output) {
    return item.url.native() + ": skipped (" + shownPath(item.url, output) + " exists)";
}

std::string skippedJson(const ImageItem& item, const std::filesystem::path& output) {
    return jsonLine({{"source", item.url.native()}, {"output", standardizedPath(output)}, {"status", "skipped"}});
}

std::string failureJson(const std::string& path, std::string_view message) {
    return jsonLine({{"source", path}, {"status", "failed"}, {"error", message}});
}

std::string resultJson(const ImageItem& item) {
    const std::string source = item.url.native();
    if (notStarted(item)) return jsonLine({{"source", source}, {"status", "not started"}});
    if (item.status.kind() == ItemStatus::failed) return failureJson(source, Fmt::failureText(item.status.reason()));
    if (item.status.kind() != ItemStatus::done) return jsonLine({{"source", source}, {"status", "converting"}});
    const std::int64_t out = item.outputSize.value_or(0);
    // A kept original: `output` is its copy, or the source itself; `outputSize` its bytes.
    nlohmann::ordered_json line{{"source", source},
                                {"output", item.outputURL ? item.outputURL->native() : std::string()},
                                {"status", item.rejectedOutputSize ? "kept" : "done"},
                                {"originalSize", item.originalSize},
                                {"outputSize", out}};
    if (item.rejectedOutputSize) line["rejectedSize"] = *item.rejectedOutputSize;
    if (item.chosenQuality) line["quality"] = jsonNumber(*item.chosenQuality);
    if (item.distance) line["distance"] = jsonNumber(*item.distance);
    if (item.difference) line["difference"] = jsonNumber(*item.difference);
    if (item.rebuildsJpeg) line["reconstructible"] = *item.rebuildsJpeg;
    // An animation's frames; "firstFrameOnly" where the format holds no animation.
    if (item.sourceFrames > 1) line["frames"] = item.sourceFrames;
    if (item.sourceFrames > 1 && item.frames == 1) line["firstFrameOnly"] = true;
    line["percent"] = Fmt::percent(item.originalSize, out);
    line["savings"] = Fmt::savings(item.originalSize, out);
    return jsonLine(line);
}

std::vector<std::string> totalsLines(const std::vector<ImageItem>& items, std::int64_t unlisted, std::int64_t skipped,
                                     bool ascii) {
    const ListTotals sums = totalsOf(items);
    const std::int64_t count = sums.count + unlisted + skipped;
    if (count == 0) return {"No files"};
    std::string counts = std::to_string(sums.done - sums.kept) + " of " + std::to_string(count) + " converted";
    if (sums.failed + unlisted > 0) counts += ", " + std::to_string(sums.failed + unlisted) + " failed";
    if (skipped > 0) counts += ", " + std::to_string(skipped) + " skipped";
    if (sums.notStarted > 0) counts += ", " + std::to_string(sums.notStarted) + " not started";
    if (sums.kept > 0)
        counts += " \u00B7 " + std::to_string(sums.kept) + (sums.kept == 1 ? " original" : " originals") + " kept";
    if (sums.done == 0) return {said(ascii, counts)};
    // Like against like: the converted files' sources only.
    return {said(ascii, "Total: " + Fmt::savings(sums.doneOriginals, sums.doneOutputs)), said(ascii, counts)};
}

bool localeIsUtf8() {
    const std::string before = std::setlocale(LC_CTYPE, nullptr);
    bool utf8 = false;
    if (std::setlocale(LC_CTYPE, "")) {
        utf8 = std::string_view(nl_langinfo(CODESET)) == "UTF-8";
    } else {
        // A locale named but not installed: its name still says what the terminal shows.
        for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"})
            if (const char* value = std::getenv(variable); value && *value) {
                std::string name = value;
                for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                utf8 = name.find("utf-8") != std::string::npos || name.find("utf8") != std::string::npos;
                break;
            }
    }
    std::setlocale(LC_CTYPE, before.c_str());
    return utf8;
}

std::string asciiOnly(std::string_view text) {
    static constexpr std::pair<std::string_view, std::string_view> spellings[]{
        {"\u2192", "->"}, {"\u00B7", "|"},  {"\u2026", "..."}, {"\u00D7", "x"},  {"\u00A0", " "},
        {"\u202F", " "},  {"\u2009", " "},  {"\u2212", "-"},   {"\u2013", "-"},  {"\u2014", "--"},
        {"\u2018", "'"},  {"\u2019", "'"},  {"\u201C", "\""},  {"\u201D", "\""}, {"\u2264", "<="},
        {"\u2265", ">="}, {"\u00B1", "+/-"}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            out += text[i++];
            continue;
        }
        const auto known = std::ranges::find_if(spellings, [&](const auto& s) { return text.substr(i).starts_with(s.first); });
        std::size_t length = 1;
        while (i + length < text.size() && (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80) ++length;
        out += known != std::end(spellings) ? known->second : "?";
        i += known != std::end(spellings) ? known->first.size() : length;
    }
    return out;
}

std::string progressBar(std::int64_t completed, std::int64_t total, int width) {
    const std::int64_t shown = std::max<std::int64_t>(total, 1);
    const std::int64_t filled = std::clamp<std::int64_t>(completed * width / shown, 0, width);
    std::string bar = "[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '-');
    bar += "] " + std::to_string(completed) + "/" + std::to_string(total);
    return bar;
}

}  // namespace krumple::cli
