#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace krumple {

// A random 128-bit identifier (a version-4 UUID). Rows are matched to
// results by id, never by position.
class ItemId {
public:
    ItemId() = default;  // all zero; never handed out by random()
    static ItemId random();

    // "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"
    std::string text() const;

    std::uint64_t high() const { return high_; }
    std::uint64_t low() const { return low_; }

    friend bool operator==(const ItemId&, const ItemId&) = default;
    friend auto operator<=>(const ItemId&, const ItemId&) = default;

private:
    ItemId(std::uint64_t high, std::uint64_t low) : high_(high), low_(low) {}
    std::uint64_t high_ = 0;
    std::uint64_t low_ = 0;
};

}  // namespace krumple

template <>
struct std::hash<krumple::ItemId> {
    std::size_t operator()(const krumple::ItemId& id) const noexcept {
        return static_cast<std::size_t>(id.high() ^ (id.low() * 0x9E3779B97F4A7C15ull));
    }
};
