#include "properties.h"

namespace krumple {

std::optional<double> numberAt(const Properties& p, std::string_view key) {
    const auto it = p.find(key);
    if (const double* n = it == p.end() ? nullptr : it->second.number()) return *n;
    return std::nullopt;
}

}  // namespace krumple
