#include "text_table.h"

#include <algorithm>
#include <cstdio>

namespace krumple::bench {

namespace {
// Display width: count UTF-8 lead bytes only (× and ÷ appear in headers).
std::size_t width(const std::string& s) {
    return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}
}  // namespace

void TextTable::print(std::ostream& out) const {
    std::vector<std::size_t> w(header_.size(), 3);
    for (std::size_t c = 0; c < header_.size(); ++c) w[c] = std::max(w[c], width(header_[c]));
    for (const auto& row : rows_)
        for (std::size_t c = 0; c < row.size() && c < w.size(); ++c) w[c] = std::max(w[c], width(row[c]));

    auto line = [&](const std::vector<std::string>& cells) {
        out << '|';
        for (std::size_t c = 0; c < w.size(); ++c) {
            const std::string cell = c < cells.size() ? cells[c] : "";
            const std::string pad(w[c] - width(cell), ' ');
            out << ' ' << (c < leftAligned_ ? cell + pad : pad + cell) << " |";
        }
        out << '\n';
    };
    line(header_);
    out << '|';
    for (std::size_t c = 0; c < w.size(); ++c)
        out << (c < leftAligned_ ? std::string(w[c] + 2, '-') : std::string(w[c] + 1, '-') + ":") << '|';
    out << '\n';
    for (const auto& row : rows_) line(row);
}

std::string fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

}  // namespace krumple::bench
