#include <cstring>

#include "metadata_blocks.h"

namespace krumple::iptc {

namespace {
std::size_t be16(const std::uint8_t* p) { return static_cast<std::size_t>(p[0] << 8 | p[1]); }
std::size_t be32(const std::uint8_t* p) {
    return static_cast<std::size_t>(p[0]) << 24 | static_cast<std::size_t>(p[1]) << 16 |
           static_cast<std::size_t>(p[2]) << 8 | p[3];
}

const char* datasetName(unsigned dataset) {
    switch (dataset) {
    case 5: return "ObjectName";
    case 25: return "Keywords";
    case 55: return "DateCreated";
    case 80: return "Byline";
    case 90: return "City";
    case 101: return "CountryPrimaryLocationName";
    case 105: return "Headline";
    case 110: return "Credit";
    case 116: return "CopyrightNotice";
    case 120: return "Caption/Abstract";
    default: return nullptr;
    }
}

void readDatasets(const std::uint8_t* p, std::size_t size, Properties& out) {
    std::size_t i = 0;
    while (i + 5 <= size && p[i] == 0x1c) {
        const unsigned record = p[i + 1], dataset = p[i + 2];
        const std::size_t length = be16(p + i + 3);
        if (length & 0x8000) break;  // extended length: not used by the fields we read
        i += 5;
        if (i + length > size) break;
        const char* name = record == 2 ? datasetName(dataset) : nullptr;
        if (name) {
            std::string value(reinterpret_cast<const char*>(p + i), length);
            auto [it, added] = out.try_emplace(name, value);
            if (!added) {  // repeated datasets (keywords) are joined
                if (auto* s = std::get_if<std::string>(&it->second)) *s += ", " + value;
            }
        }
        i += length;
    }
}
}  // namespace

Properties dictionary(const Blob& block) {
    Properties out;
    const std::uint8_t* p = block.data();
    std::size_t size = block.size();
    static constexpr char photoshop[] = "Photoshop 3.0";
    if (size >= sizeof photoshop && std::memcmp(p, photoshop, sizeof photoshop) == 0) {
        p += sizeof photoshop;
        size -= sizeof photoshop;
    }
    if (size > 0 && p[0] == 0x1c) {  // bare IIM, as TIFF files carry it
        readDatasets(p, size, out);
        return out;
    }
    std::size_t i = 0;
    while (i + 12 <= size && std::memcmp(p + i, "8BIM", 4) == 0) {
        const std::size_t id = be16(p + i + 4);
        std::size_t nameLength = p[i + 6];
        std::size_t at = i + 7 + nameLength;
        if ((1 + nameLength) % 2) ++at;  // Pascal name padded to even
        if (at + 4 > size) break;
        const std::size_t length = be32(p + at);
        at += 4;
        if (length > size - at) break;
        if (id == 0x0404) readDatasets(p + at, length, out);
        i = at + length + (length % 2);
    }
    return out;
}

}  // namespace krumple::iptc
