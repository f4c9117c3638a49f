#include "report_text.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "fmt.h"
#include "list_totals.h"

namespace krumple::cli {

std::string jsonString(std::string_view bytes) {
    std::string out = "\"";
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (p < end) {
        const char* invalid = nullptr;
        const bool valid = g_utf8_validate(p, end - p, &invalid);
        const char* stop = valid ? end : invalid;
        for (; p < stop; ++p) {
            const auto c = static_cast<unsigned char>(*p);
            switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out += *p;
                }
            }
        }
        if (!valid) {
            out += "\uFFFD";
            ++p;
        }
    }
    out += '"';
    return out;
}

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

// " · quality 62%, distance 1.41": what a search chose; empty otherwise.
std::string searched(const ImageItem& item) {
    if (!item.chosenQuality) return {};
    std::string text = " \u00B7 quality " + std::to_string(std::lround(*item.chosenQuality * 100)) + "%";
    if (item.distance) text += ", distance " + shortNumber(*item.distance);
    return text;
}
}  // namespace

std::string resultLine(const ImageItem& item, std::optional<double> difference) {
    const std::string name = item.url.native();
    if (item.status.kind() == ItemStatus::done && item.rejectedOutputSize)
        return name + ": " + Fmt::keptOriginal(item.originalSize, *item.rejectedOutputSize);
    if (item.status.kind() == ItemStatus::done)
        return name + ": " + Fmt::savings(item.originalSize, item.outputSize.value_or(0)) + searched(item) +
               (difference ? " \u00B7 " + Fmt::distanceText(*difference) : std::string());
    if (item.status.kind() == ItemStatus::failed) return failureLine(name, item.status.message());
    return name + ": not converted";
}

std::string failureLine(const std::string& path, std::string_view message) {
    return path + ": " + std::string(message);
}

std::string failureJson(const std::string& path, std::string_view message) {
    return "{\"source\":" + jsonString(path) + ",\"status\":\"failed\",\"error\":" + jsonString(message) + "}";
}

std::string resultJson(const ImageItem& item, std::optional<double> difference) {
    const std::string source = item.url.native();
    if (item.status.kind() == ItemStatus::failed) return failureJson(source, item.status.message());
    if (item.status.kind() != ItemStatus::done)
        return "{\"source\":" + jsonString(source) + ",\"status\":\"pending\"}";
    const std::int64_t out = item.outputSize.value_or(0);
    // A kept original: `output` is its copy, or the source itself; `outputSize` its bytes.
    const std::string kept =
        item.rejectedOutputSize ? ",\"rejectedSize\":" + std::to_string(*item.rejectedOutputSize) : std::string();
    return "{\"source\":" + jsonString(source) +
           ",\"output\":" + jsonString(item.outputURL ? item.outputURL->native() : std::string()) +
           ",\"status\":" + (item.rejectedOutputSize ? "\"kept\"" : "\"done\"") +
           ",\"originalSize\":" + std::to_string(item.originalSize) +
           ",\"outputSize\":" + std::to_string(out) + kept +
           (item.chosenQuality ? ",\"quality\":" + shortNumber(*item.chosenQuality) : std::string()) +
           (item.distance ? ",\"distance\":" + shortNumber(*item.distance) : std::string()) +
           (difference ? ",\"difference\":" + shortNumber(*difference) : std::string()) +
           ",\"percent\":" + jsonString(Fmt::percent(item.originalSize, out)) +
           ",\"savings\":" + jsonString(Fmt::savings(item.originalSize, out)) + "}";
}

std::vector<std::string> totalsLines(const std::vector<ImageItem>& items) {
    const ListTotals sums = totalsOf(items);
    if (sums.count == 0) return {"No files"};
    if (sums.done == 0) return {std::to_string(sums.count) + " files \u00B7 " + Fmt::byteCount(sums.originals)};
    // Like against like: the converted files' sources only.
    std::string counts = std::to_string(sums.done - sums.kept) + " of " + std::to_string(sums.count) + " converted";
    if (sums.kept > 0)
        counts += " \u00B7 " + std::to_string(sums.kept) + (sums.kept == 1 ? " original" : " originals") + " kept";
    return {"Total: " + Fmt::savings(sums.doneOriginals, sums.doneOutputs), counts};
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
