#include "png_chunks.h"

#include <zlib.h>

#include <algorithm>

namespace krumple::png {

std::uint32_t read32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

void put32(Blob& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::vector<Chunk> chunksOf(std::span<const std::uint8_t> file) {
    std::vector<Chunk> chunks;
    if (file.size() < 8 || !std::equal(signature.begin(), signature.end(), file.begin())) return {};
    for (std::size_t at = 8; at < file.size();) {
        if (file.size() - at < 12) return {};
        const std::uint32_t size = read32(file.data() + at);
        if (size > file.size() - at - 12) return {};
        chunks.push_back({std::string_view(reinterpret_cast<const char*>(file.data() + at + 4), 4), file.data() + at + 8, size});
        at += 12 + std::size_t{size};
        if (chunks.back().type == "IEND") break;
    }
    return chunks;
}

void putChunk(Blob& out, std::string_view type, std::span<const std::uint8_t> data) {
    put32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    put32(out, static_cast<std::uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

}  // namespace krumple::png
