#include "memory_budget.h"

#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

namespace krumple {

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::optional<std::int64_t> wholeNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data() || value < 0) return std::nullopt;
    return value;
}

// Limit less usage of the process's memory cgroup, v2 or v1.
std::optional<std::int64_t> cgroupRemaining() {
    std::istringstream lines(readText("/proc/self/cgroup"));
    for (std::string line; std::getline(lines, line);) {
        const auto first = line.find(':'), second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        std::string limitFile, usageFile;
        if (controllers.empty() && line.starts_with("0:")) {
            limitFile = "/sys/fs/cgroup" + path + "/memory.max";
            usageFile = "/sys/fs/cgroup" + path + "/memory.current";
        } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
            limitFile = "/sys/fs/cgroup/memory" + path + "/memory.limit_in_bytes";
            usageFile = "/sys/fs/cgroup/memory" + path + "/memory.usage_in_bytes";
        } else {
            continue;
        }
        const auto limit = cgroupLimitValue(readText(limitFile));
        if (!limit) continue;
        return std::max<std::int64_t>(0, *limit - wholeNumber(readText(usageFile)).value_or(0));
    }
    return std::nullopt;
}

std::optional<std::int64_t> limitLeft(int resource, std::optional<std::int64_t> inUse) {
    rlimit limit{};
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
    const auto cap = static_cast<std::int64_t>(
        std::min<rlim_t>(limit.rlim_cur, static_cast<rlim_t>(std::numeric_limits<std::int64_t>::max())));
    return std::max<std::int64_t>(0, cap - inUse.value_or(0));
}

std::optional<std::int64_t> bytesFromKilobytes(std::optional<std::int64_t> kb) {
    if (!kb || *kb > std::numeric_limits<std::int64_t>::max() / 1024) return std::nullopt;
    return *kb * 1024;
}

}  // namespace

std::optional<std::int64_t> kilobytesField(std::string_view procText, std::string_view field) {
    std::size_t at = 0;
    while (at < procText.size()) {
        const std::size_t end = std::min(procText.find('\n', at), procText.size());
        const std::string_view line = procText.substr(at, end - at);
        if (line.starts_with(field)) return wholeNumber(line.substr(field.size()));
        at = end + 1;
    }
    return std::nullopt;
}

std::optional<std::int64_t> cgroupLimitValue(std::string_view text) {
    const auto value = wholeNumber(text);
    // v1 writes "no limit" as a page-rounded INT64_MAX.
    if (!value || *value >= (std::int64_t{1} << 60)) return std::nullopt;
    return value;
}

MemoryFacts readMemoryFacts() {
    const std::string status = readText("/proc/self/status");
    MemoryFacts facts;
    facts.available = bytesFromKilobytes(kilobytesField(readText("/proc/meminfo"), "MemAvailable:"));
    facts.cgroupRemaining = cgroupRemaining();
    facts.addressSpaceLeft = limitLeft(RLIMIT_AS, bytesFromKilobytes(kilobytesField(status, "VmSize:")));
    facts.dataLeft = limitLeft(RLIMIT_DATA, bytesFromKilobytes(kilobytesField(status, "VmData:")));
    return facts;
}

std::int64_t memoryBudget(const MemoryFacts& facts, std::int64_t margin) {
    std::int64_t smallest = std::numeric_limits<std::int64_t>::max();
    bool any = false;
    for (const auto& fact : {facts.available, facts.cgroupRemaining, facts.addressSpaceLeft, facts.dataLeft}) {
        if (!fact) continue;
        smallest = std::min(smallest, *fact);
        any = true;
    }
    if (!any) return smallest;
    return std::max<std::int64_t>(0, smallest - margin);
}

}  // namespace krumple
