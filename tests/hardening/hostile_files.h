#pragma once

// Files made to hurt a converter: empty, cut short, random, lying about
// their size, or valid but unusual. Each says which outcomes are right.

#include <filesystem>
#include <string>
#include <vector>

namespace krumple::test {

struct HostileFile {
    std::filesystem::path path;
    // "done" for pictures that must convert; otherwise the refusal texts allowed.
    std::vector<std::string> allowed;
    int width = 0;  // upright size a converted output must have
    int height = 0;
};

// Writes them all into `folder`; `seed` makes the random bytes.
std::vector<HostileFile> makeHostileFiles(const std::filesystem::path& folder, unsigned seed);

}  // namespace krumple::test
