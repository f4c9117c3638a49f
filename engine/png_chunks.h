#pragma once

// Internal: a PNG file's chunks, read in place and written with their CRC.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "encoder.h"

namespace krumple::png {

inline constexpr std::array<std::uint8_t, 8> signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t read32(const std::uint8_t* p);  // big-endian, as PNG stores numbers
void put32(Blob& out, std::uint32_t v);

// A chunk inside a file; `data` points into it.
struct Chunk {
    std::string_view type;
    const std::uint8_t* data;
    std::size_t size;
    // The whole chunk: length, type, data and CRC.
    std::span<const std::uint8_t> whole() const { return {data - 8, size + 12}; }
};

// The chunks after the signature, up to and with IEND; empty when the
// signature is wrong or a chunk runs past the end.
std::vector<Chunk> chunksOf(std::span<const std::uint8_t> file);

void putChunk(Blob& out, std::string_view type, std::span<const std::uint8_t> data);

}  // namespace krumple::png
