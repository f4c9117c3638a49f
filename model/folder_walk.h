#pragma once

#include <filesystem>
#include <stop_token>
#include <vector>

namespace krumple {

// The regular files anywhere under `folder`, in no particular order. Names
// starting with "." are left out, and so is everything inside such folders.
// Symbolic links are never followed (so a link back up cannot loop), and
// folders that cannot be read are skipped while the walk goes on.
std::vector<std::filesystem::path> regularFilesUnder(const std::filesystem::path& folder,
                                                     std::stop_token stop = {});

}  // namespace krumple
