#include "forged_headers.h"

namespace krumple::test {
namespace {

void putBigEndian(std::string& b, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        b.at(at + static_cast<std::size_t>(i)) = static_cast<char>((value >> (8 * (size - 1 - i))) & 0xFF);
}

void putLittleEndian(std::string& b, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) b.at(at + static_cast<std::size_t>(i)) = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t littleEndian(const std::string& b, std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b.at(at + static_cast<std::size_t>(i)));
    return v;
}

}  // namespace

std::uint32_t crc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

std::string pngClaiming(std::string b, std::uint32_t width, std::uint32_t height) {
    // Signature (8), IHDR length (4), "IHDR" (4), width (4), height (4), 5 more bytes, CRC.
    putBigEndian(b, 16, width, 4);
    putBigEndian(b, 20, height, 4);
    putBigEndian(b, 29, crc32(std::string_view(b).substr(12, 17)), 4);
    return b;
}

std::string jpegClaiming(std::string b, std::uint16_t width, std::uint16_t height) {
    for (std::size_t i = 2; i + 9 < b.size(); ++i) {
        const auto marker = static_cast<unsigned char>(b[i + 1]);
        if (static_cast<unsigned char>(b[i]) == 0xFF && (marker == 0xC0 || marker == 0xC2)) {
            putBigEndian(b, i + 5, height, 2);
            putBigEndian(b, i + 7, width, 2);
            break;
        }
    }
    return b;
}

std::string webpClaiming(std::string b, std::uint16_t width, std::uint16_t height) {
    // The extended header's canvas (24-bit sizes minus one), then the lossy
    // frame: "VP8 " chunk, 3-byte frame tag, start code, 14-bit sizes.
    if (b.compare(12, 4, "VP8X") == 0) {
        putLittleEndian(b, 24, width - 1u, 3);
        putLittleEndian(b, 27, height - 1u, 3);
    }
    if (const auto at = b.find("VP8 ", 12); at != std::string::npos) {
        putLittleEndian(b, at + 14, width & 0x3FFFu, 2);
        putLittleEndian(b, at + 16, height & 0x3FFFu, 2);
    }
    return b;
}

std::string heicClaiming(std::string b, std::uint32_t width, std::uint32_t height) {
    // Every image spatial extents box: type, version and flags, width, height.
    for (auto at = b.find("ispe"); at != std::string::npos && at + 16 <= b.size(); at = b.find("ispe", at + 4)) {
        putBigEndian(b, at + 8, width, 4);
        putBigEndian(b, at + 12, height, 4);
    }
    return b;
}

std::string tiffClaiming(std::string b, std::uint32_t width, std::uint32_t height) {
    // Little-endian first IFD: ImageWidth (256) and ImageLength (257), SHORT or LONG.
    const std::uint32_t ifd = littleEndian(b, 4, 4);
    const std::uint32_t count = littleEndian(b, ifd, 2);
    for (std::uint32_t e = 0; e < count; ++e) {
        const std::size_t at = ifd + 2 + 12 * std::size_t{e};
        const std::uint32_t tag = littleEndian(b, at, 2);
        if (tag != 256 && tag != 257) continue;
        const std::uint32_t value = tag == 256 ? width : height;
        if (littleEndian(b, at + 2, 2) == 3) putLittleEndian(b, at + 8, std::min<std::uint32_t>(value, 0xFFFF), 2);
        else putLittleEndian(b, at + 8, value, 4);
    }
    return b;
}

}  // namespace krumple::test
