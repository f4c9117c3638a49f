#include "fmt.h"

#include <cmath>
#include <cstdio>

#include <glib.h>

namespace krumple::Fmt {

std::string percent(std::int64_t from, std::int64_t to) {
    if (from < 1) return "0%";
    const double change = static_cast<double>(to - from) / static_cast<double>(from) * 100.0;
    const auto whole = static_cast<long long>(std::round(change));  // halves away from zero
    std::string text = whole >= 1 ? "+" : "";
    text += std::to_string(whole);
    text += '%';
    return text;
}

std::optional<std::string> largerBy(std::int64_t original, std::int64_t output) {
    const std::string change = percent(original, output);
    if (change.front() != '+') return std::nullopt;
    return change.substr(1);
}

std::string keptOriginal(std::int64_t original, std::int64_t output, bool stillOfAnimation) {
    if (stillOfAnimation) return "Original kept (an animation: the output holds one frame)";
    const auto larger = largerBy(original, output);
    return larger ? "Original kept (output was " + *larger + " larger)" : "Original kept (output was no smaller)";
}

std::string failureText(const Failure& failure) {
    using enum Failure::Kind;
    switch (failure.kind) {
    case tooLarge:
        return "Doesn't fit in " + byteCount(failure.cap) + " (smallest " + byteCount(failure.smallest) + ")";
    case unknown: return "Failed";
    default: return std::string(description(static_cast<ConvertError>(failure.kind)));
    }
}

double shownDistance(double distance) { return std::round(distance * 10) / 10; }

const char* distanceWords(double distance) {
    // Judged as shown, so words and figure agree at the edges.
    distance = shownDistance(distance);
    return distance < 1.0   ? "looks identical"
           : distance < 2.0 ? "nearly identical"
           : distance < 3.0 ? "small differences"
           : distance < 5.0 ? "visible differences"
                            : "large differences";
}

std::string distanceText(double distance) {
    char figure[32];
    std::snprintf(figure, sizeof figure, "%.1f", shownDistance(distance));
    return std::string(distanceWords(distance)) + " \u00B7 " + figure;
}

std::string byteCount(std::int64_t bytes) {
    // g_format_size takes an unsigned count; negative sizes never come from a file.
    gchar* text = g_format_size(static_cast<guint64>(bytes < 0 ? 0 : bytes));
    std::string result(text);
    g_free(text);
    return result;
}

std::string savings(std::int64_t from, std::int64_t to) {
    return byteCount(from) + " \u2192 " + byteCount(to) + " (" + percent(from, to) + ")";
}

}  // namespace krumple::Fmt
