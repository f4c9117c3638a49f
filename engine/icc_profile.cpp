#include "metadata_blocks.h"

namespace krumple::icc {

namespace {
std::uint32_t be32(const Blob& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) << 24 | static_cast<std::uint32_t>(b[at + 1]) << 16 |
           static_cast<std::uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string fromUtf16be(const Blob& b, std::size_t at, std::size_t bytes) {
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        std::uint32_t c = static_cast<std::uint32_t>(b[at + i] << 8 | b[at + i + 1]);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes) {
            const std::uint32_t low = static_cast<std::uint32_t>(b[at + i + 2] << 8 | b[at + i + 3]);
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        if (c == 0) break;
        appendUtf8(out, c);
    }
    return out;
}
}  // namespace

std::optional<std::string> profileName(const Blob& p) {
    if (p.size() < 132) return std::nullopt;
    const std::size_t count = be32(p, 128);
    for (std::size_t i = 0; i < count && 132 + i * 12 + 12 <= p.size(); ++i) {
        const std::size_t entry = 132 + i * 12;
        if (be32(p, entry) != 0x64657363) continue;  // 'desc'
        const std::size_t at = be32(p, entry + 4), size = be32(p, entry + 8);
        if (at > p.size() || size > p.size() - at || size < 12) return std::nullopt;
        const std::uint32_t type = be32(p, at);
        if (type == 0x64657363) {  // 'desc': ASCII count, then text
            const std::size_t n = be32(p, at + 8);
            if (n > size - 12) return std::nullopt;
            std::string s(reinterpret_cast<const char*>(p.data() + at + 12), n);
            s.resize(s.find('\0') == std::string::npos ? s.size() : s.find('\0'));
            return s;
        }
        if (type == 0x6D6C7563 && size >= 28) {  // 'mluc': first record
            const std::size_t length = be32(p, at + 20), offset = be32(p, at + 24);
            if (offset > size || length > size - offset) return std::nullopt;
            return fromUtf16be(p, at + offset, length);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace krumple::icc
