#include "png_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace krumple::png {
namespace {

constexpr std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Larger IDAT chunks gain nothing; this keeps each well inside a chunk's 2^31 bytes.
constexpr std::size_t idatChunk = std::size_t{1} << 20;

std::uint32_t read32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void put32(Blob& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// The bytes of a non-interlaced picture's filtered rows, from its IHDR; 0 when unknown.
std::uint64_t rowsSize(const Blob& head) {
    if (head.size() < 8 + 25 || std::memcmp(head.data() + 12, "IHDR", 4) != 0) return 0;
    const std::uint64_t width = read32(head.data() + 16), height = read32(head.data() + 20);
    const unsigned depth = head[24], type = head[25], interlaced = head[28];
    const unsigned channels = type == 0 || type == 3 ? 1 : type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 0;
    if (interlaced != 0 || channels == 0 || width == 0 || height == 0 || width > (1u << 30) || height > (1u << 30))
        return 0;
    return height * ((width * channels * depth + 7) / 8 + 1);
}

// The image data's chunks inflated into rows of the size IHDR gives.
std::optional<Blob> inflated(const std::vector<std::pair<const std::uint8_t*, std::size_t>>& chunks, std::uint64_t size) {
    if (size == 0 || size > (std::uint64_t{1} << 32)) return std::nullopt;
    Blob out(static_cast<std::size_t>(size));
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return std::nullopt;
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int status = Z_OK;
    for (const auto& [data, length] : chunks) {
        z.next_in = const_cast<Bytef*>(data);
        z.avail_in = static_cast<uInt>(length);
        while (z.avail_in > 0 && status == Z_OK) status = inflate(&z, Z_NO_FLUSH);
        if (status != Z_OK) break;
    }
    const bool whole = status == Z_STREAM_END && z.total_out == out.size();
    inflateEnd(&z);
    if (!whole) return std::nullopt;
    return out;
}

}  // namespace

std::optional<Parts> split(std::span<const std::uint8_t> file, Keep keep) {
    if (file.size() < 8 || std::memcmp(file.data(), signature, 8) != 0) return std::nullopt;
    Parts parts;
    parts.head.assign(signature, signature + 8);
    std::vector<std::pair<const std::uint8_t*, std::size_t>> idat;
    enum { before, inside, after } where = before;
    std::size_t at = 8;
    while (at + 12 <= file.size()) {
        const std::uint32_t length = read32(file.data() + at);
        if (length > file.size() - at - 12) return std::nullopt;
        const auto* chunk = file.data() + at;
        const std::size_t whole = std::size_t{length} + 12;
        if (std::memcmp(chunk + 4, "IDAT", 4) == 0) {
            if (where == after) return std::nullopt;
            where = inside;
            idat.emplace_back(chunk + 8, length);
        } else {
            if (where == inside) where = after;
            Blob& into = where == before ? parts.head : parts.tail;
            into.insert(into.end(), chunk, chunk + whole);
        }
        at += whole;
    }
    if (at != file.size() || where != after) return std::nullopt;
    if (keep == Keep::stream) {
        for (const auto& [data, length] : idat) parts.stream.insert(parts.stream.end(), data, data + length);
        return parts;
    }
    auto rows = inflated(idat, rowsSize(parts.head));
    if (!rows) return std::nullopt;
    parts.rows = std::move(*rows);
    return parts;
}

bool sameLayout(const Parts& a, const Parts& b) {
    // The signature, then IHDR: length, type, 13 bytes of which the tenth is the colour type.
    constexpr std::size_t ihdr = 8 + 8, colourType = ihdr + 9, end = ihdr + 13;
    const auto isIhdr = [](const Blob& head) { return head.size() >= end + 4 && std::memcmp(head.data() + 12, "IHDR", 4) == 0; };
    return isIhdr(a.head) && isIhdr(b.head) && a.head[colourType] != 3 &&
           std::memcmp(a.head.data() + ihdr, b.head.data() + ihdr, end - ihdr) == 0;
}

std::optional<Blob> deflated(const Blob& rows, Strategy strategy) {
    const int zStrategy = strategy == Strategy::filtered ? Z_FILTERED : strategy == Strategy::runs ? Z_RLE : Z_DEFAULT_STRATEGY;
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, 15, 9, zStrategy) != Z_OK) return std::nullopt;
    Blob out(deflateBound(&z, static_cast<uLong>(rows.size())));
    z.next_in = const_cast<Bytef*>(rows.data());
    z.avail_in = static_cast<uInt>(rows.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    out.shrink_to_fit();  // the bound reserved about the rows' size again
    deflateEnd(&z);
    if (status != Z_STREAM_END) return std::nullopt;
    return out;
}

namespace {
void putChunk(Blob& out, const char* type, const Blob& data) {
    put32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, static_cast<std::uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}
}  // namespace

Parts withPalette(Parts grey, const Blob& plte, const Blob& trns) {
    // IHDR's colour type, then its CRC over type and data.
    grey.head[8 + 8 + 9] = 3;
    const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, grey.head.data() + 12, 17));
    for (int i = 0; i < 4; ++i) grey.head[29 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    // Just before the image data, after any colour chunks, as the format orders them.
    putChunk(grey.head, "PLTE", plte);
    if (!trns.empty()) putChunk(grey.head, "tRNS", trns);
    return grey;
}

Blob joined(const Parts& parts, const Blob& idat) {
    Blob out(parts.head);
    out.reserve(parts.head.size() + idat.size() + parts.tail.size() + 12 * (idat.size() / idatChunk + 1));
    for (std::size_t at = 0; at < idat.size() || at == 0; at += idatChunk) {
        const std::size_t length = std::min(idatChunk, idat.size() - at);
        put32(out, static_cast<std::uint32_t>(length));
        const std::size_t type = out.size();
        out.insert(out.end(), {'I', 'D', 'A', 'T'});
        out.insert(out.end(), idat.begin() + static_cast<std::ptrdiff_t>(at),
                   idat.begin() + static_cast<std::ptrdiff_t>(at + length));
        put32(out, static_cast<std::uint32_t>(crc32(0, out.data() + type, static_cast<uInt>(length + 4))));
        if (idat.empty()) break;
    }
    out.insert(out.end(), parts.tail.begin(), parts.tail.end());
    return out;
}

}  // namespace krumple::png
