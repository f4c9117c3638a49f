#include "png_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "png_chunks.h"

namespace krumple::png {
namespace {

// Larger IDAT chunks gain nothing; this keeps each well inside a chunk's 2^31 bytes.
constexpr std::size_t idatChunk = std::size_t{1} << 20;

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
std::optional<Blob> inflated(const std::vector<const Chunk*>& chunks, std::uint64_t size) {
    if (size == 0 || size > (std::uint64_t{1} << 32)) return std::nullopt;
    Blob out(static_cast<std::size_t>(size));
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return std::nullopt;
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int status = Z_OK;
    for (const Chunk* chunk : chunks) {
        z.next_in = const_cast<Bytef*>(chunk->data);
        z.avail_in = static_cast<uInt>(chunk->size);
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
    const std::vector<Chunk> chunks = chunksOf(file);
    if (chunks.empty() || chunks.front().type != "IHDR" || chunks.back().type != "IEND") return std::nullopt;
    Parts parts;
    parts.head.assign(signature.begin(), signature.end());
    std::vector<const Chunk*> idat;
    enum { before, inside, after } where = before;
    for (const Chunk& chunk : chunks) {
        if (chunk.type == "IDAT") {
            if (where == after) return std::nullopt;
            where = inside;
            idat.push_back(&chunk);
        } else {
            if (where == inside) where = after;
            Blob& into = where == before ? parts.head : parts.tail;
            into.insert(into.end(), chunk.whole().begin(), chunk.whole().end());
        }
    }
    if (where != after) return std::nullopt;
    if (keep == Keep::stream) {
        for (const Chunk* chunk : idat) parts.stream.insert(parts.stream.end(), chunk->data, chunk->data + chunk->size);
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

Parts withPalette(Parts grey, const Blob& plte, const Blob& trns) {
    // IHDR with the palette's colour type, then PLTE and tRNS just before the
    // image data, after any colour chunks, as the format orders them.
    Blob head(signature.begin(), signature.end());
    for (const Chunk& chunk : chunksOf(grey.head)) {
        if (chunk.type != "IHDR") {
            head.insert(head.end(), chunk.whole().begin(), chunk.whole().end());
            continue;
        }
        Blob header(chunk.data, chunk.data + chunk.size);
        header.at(9) = 3;
        putChunk(head, "IHDR", header);
    }
    putChunk(head, "PLTE", plte);
    if (!trns.empty()) putChunk(head, "tRNS", trns);
    grey.head = std::move(head);
    return grey;
}

Blob joined(const Parts& parts, const Blob& idat) {
    Blob out(parts.head);
    out.reserve(parts.head.size() + idat.size() + parts.tail.size() + 12 * (idat.size() / idatChunk + 1));
    for (std::size_t at = 0; at < idat.size() || at == 0; at += idatChunk) {
        putChunk(out, "IDAT", std::span(idat).subspan(at, std::min(idatChunk, idat.size() - at)));
        if (idat.empty()) break;
    }
    out.insert(out.end(), parts.tail.begin(), parts.tail.end());
    return out;
}

}  // namespace krumple::png
