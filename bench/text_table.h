#pragma once

// A table printed as Markdown, columns padded so it also reads well in a terminal.

#include <ostream>
#include <string>
#include <vector>

namespace krumple::bench {

class TextTable {
public:
    explicit TextTable(std::vector<std::string> header, std::size_t leftAligned = 1)
        : header_(std::move(header)), leftAligned_(leftAligned) {}
    void add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
    void print(std::ostream& out) const;

private:
    std::vector<std::string> header_;
    std::size_t leftAligned_;  // the first columns are text, the rest numbers
    std::vector<std::vector<std::string>> rows_;
};

// Fixed-point number, e.g. fixed(1.234, 2) == "1.23".
std::string fixed(double v, int decimals);

}  // namespace krumple::bench
