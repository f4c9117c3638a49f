#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image_item.h"

namespace krumple::cli {

// "photos/a.jpg: 2.4 MB → 800.0 kB (-67%)" or "photos/b.png: Couldn't decode the image";
// with the item's measured `difference`, its distance follows (" · looks identical · 0.6").
// An output anywhere but beside its source under the source's name is named:
// "photos/a.jpg → out/a.webp: …". `ascii` spells all but the names in ASCII.
std::string resultLine(const ImageItem& item, bool ascii = false);
// The same result as one JSON object on one line ("difference": 0.62).
std::string resultJson(const ImageItem& item);
// A failure for a path that never became an item.
std::string failureLine(const std::string& path, std::string_view message, bool ascii = false);
std::string failureJson(const std::string& path, std::string_view message);
// An item left out because `output`, its output's name, is taken.
std::string skippedLine(const ImageItem& item, const std::filesystem::path& output);
std::string skippedJson(const ImageItem& item, const std::filesystem::path& output);

// A batch's totals after it ran: "Total: …" (when anything was converted)
// above "3 of 12 converted, 1 failed, 8 not started · 1 original kept", every
// item counted, `unlisted` failures of paths that never became items and
// `skipped` items left out too.
std::vector<std::string> totalsLines(const std::vector<ImageItem>& items, std::int64_t unlisted = 0,
                                     std::int64_t skipped = 0, bool ascii = false);

// Whether the user's locale (LC_CTYPE) writes UTF-8.
bool localeIsUtf8();
// `text` (UTF-8) in ASCII: "→" as "->", "·" as "|", "…" as "...", "×" as
// "x", other spaces as spaces; what has no spelling becomes "?".
std::string asciiOnly(std::string_view text);

// "[#########-----------]  9/20", `width` cells of bar.
std::string progressBar(std::int64_t completed, std::int64_t total, int width = 30);

}  // namespace krumple::cli
