#include "item_id.h"

#include <cstdio>
#include <random>

namespace krumple {

ItemId ItemId::random() {
    thread_local std::mt19937_64 engine = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    std::uint64_t high = engine();
    std::uint64_t low = engine();
    // Version 4, variant 1, as a UUID of random bits would say.
    high = (high & ~std::uint64_t{0xF000}) | 0x4000;
    low = (low & ~(std::uint64_t{0xC} << 60)) | (std::uint64_t{0x8} << 60);
    return ItemId(high, low);
}

std::string ItemId::text() const {
    char buffer[37];
    std::snprintf(buffer, sizeof buffer, "%08X-%04X-%04X-%04X-%012llX",
                  static_cast<unsigned>(high_ >> 32), static_cast<unsigned>((high_ >> 16) & 0xFFFF),
                  static_cast<unsigned>(high_ & 0xFFFF), static_cast<unsigned>(low_ >> 48),
                  static_cast<unsigned long long>(low_ & 0xFFFFFFFFFFFFull));
    return buffer;
}

}  // namespace krumple
