#include "natural_order.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

namespace krumple {
namespace {

struct CollatorCloser {
    void operator()(UCollator* c) const { ucol_close(c); }
};
using Collator = std::unique_ptr<UCollator, CollatorCloser>;

Collator naturalCollator() {
    // The user's locale; but the C/POSIX locale maps to en_US_POSIX, whose
    // collation sorts all capitals first, so that one gets the root order.
    std::string locale = uloc_getDefault();
    if (locale.starts_with("en_US_POSIX")) locale.clear();
    UErrorCode status = U_ZERO_ERROR;
    Collator collator(ucol_open(locale.c_str(), &status));
    if (U_FAILURE(status) || !collator) {
        status = U_ZERO_ERROR;
        collator.reset(ucol_open("", &status));
        if (U_FAILURE(status)) return nullptr;
    }
    ucol_setAttribute(collator.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    ucol_setAttribute(collator.get(), UCOL_STRENGTH, UCOL_SECONDARY, &status);  // case ignored
    return collator;
}

// UTF-16 of a byte string; bytes that aren't UTF-8 become U+FFFD (for
// ordering only: the path itself keeps its bytes).
std::u16string utf16(const std::string& bytes) {
    std::u16string out(bytes.size() + 1, u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &length,
                         bytes.data(), static_cast<int32_t>(bytes.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status)) return {};
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::string sortKey(const UCollator* collator, const std::string& bytes) {
    const std::u16string text = utf16(bytes);
    const auto* chars = reinterpret_cast<const UChar*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    std::string key(64, '\0');
    for (;;) {
        const int32_t needed = ucol_getSortKey(collator, chars, length,
                                               reinterpret_cast<uint8_t*>(key.data()),
                                               static_cast<int32_t>(key.size()));
        if (needed <= 0) return {};
        if (static_cast<std::size_t>(needed) <= key.size()) {
            key.resize(static_cast<std::size_t>(needed));
            return key;
        }
        key.resize(static_cast<std::size_t>(needed));
    }
}

}  // namespace

void sortNaturally(std::vector<std::filesystem::path>& paths) {
    struct Keyed {
        std::string key;
        std::filesystem::path path;
    };
    const Collator collator = naturalCollator();
    std::vector<Keyed> keyed;
    keyed.reserve(paths.size());
    for (auto& path : paths) {
        std::string key = collator ? sortKey(collator.get(), path.native()) : std::string();
        keyed.push_back({std::move(key), std::move(path)});
    }
    // Sort keys are byte strings whose plain order is the collation order.
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.key != b.key) return a.key < b.key;
        return a.path.native() < b.path.native();
    });
    for (std::size_t i = 0; i < paths.size(); ++i) paths[i] = std::move(keyed[i].path);
}

}  // namespace krumple
