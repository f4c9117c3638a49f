#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image_item.h"

namespace krumple::cli {

// "photos/a.jpg: 2.4 MB → 800.0 kB (-67%)" or "photos/b.png: Couldn't decode the image";
// with the item's measured `difference`, its distance follows (" · looks identical · 0.6").
std::string resultLine(const ImageItem& item);
// The same result as one JSON object on one line ("difference": 0.62).
std::string resultJson(const ImageItem& item);
// A failure for a path that never became an item.
std::string failureLine(const std::string& path, std::string_view message);
std::string failureJson(const std::string& path, std::string_view message);

// A batch's totals after it ran: "Total: …" (when anything was converted)
// above "3 of 12 converted, 1 failed, 8 not started · 1 original kept", every
// item counted, and `unlisted` failures of paths that never became items.
std::vector<std::string> totalsLines(const std::vector<ImageItem>& items, std::int64_t unlisted = 0);

// "[#########-----------]  9/20", `width` cells of bar.
std::string progressBar(std::int64_t completed, std::int64_t total, int width = 30);

}  // namespace krumple::cli
