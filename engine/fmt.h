#pragma once

#include <cstdint>
#include <string>

namespace krumple::Fmt {

// "-34%", "+50%", "0%": change from `from` to `to`, halves away from zero.
std::string percent(std::int64_t from, std::int64_t to);
// "2.4 MB → 800.0 kB (-67%)"
std::string savings(std::int64_t from, std::int64_t to);
// One byte count as the desktop's file managers show it.
std::string byteCount(std::int64_t bytes);

}  // namespace krumple::Fmt
