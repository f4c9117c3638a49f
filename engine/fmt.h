#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "convert_error.h"

namespace krumple::Fmt {

// "-34%", "+50%", "0%": change from `from` to `to`, halves away from zero.
std::string percent(std::int64_t from, std::int64_t to);
// "2.4 MB → 800.0 kB (-67%)"
std::string savings(std::int64_t from, std::int64_t to);
// "Original kept (output was 12% larger)": the row of an output that came out
// no smaller than its original and was dropped.
std::string keptOriginal(std::int64_t original, std::int64_t output, bool stillOfAnimation = false);
// "12%" of that text, or nothing when it rounds to no larger.
std::optional<std::string> largerBy(std::int64_t original, std::int64_t output);
// A failure in English: "Couldn't decode the image", or for a size cap no
// quality could meet "Doesn't fit in 50 kB (smallest 61.2 kB)".
std::string failureText(const Failure& failure);
// A Butteraugli distance in tenths, as it is shown: 0.96 is 1.0.
double shownDistance(double distance);
// Words for a distance as shown: "looks identical" (below 1), "nearly
// identical" (below 2), "small differences" (below 3), "visible differences"
// (below 5), "large differences".
const char* distanceWords(double distance);
// "looks identical · 0.6"
std::string distanceText(double distance);
// One byte count as the desktop's file managers show it.
std::string byteCount(std::int64_t bytes);

}  // namespace krumple::Fmt
