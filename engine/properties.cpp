#include "properties.h"

namespace krumple {

std::optional<double> numberAt(const Properties& p, std::string_view key) {
    auto it = p.find(key);
    if (it == p.end()) return std::nullopt;
    if (const double* n = it->second.number()) return *n;
    return std::nullopt;
}

}  // namespace krumple
