#include <cstring>

#include "metadata_blocks.h"

namespace krumple::jxl {

namespace {
constexpr std::uint8_t signatureBox[12] = {0, 0, 0, 0x0C, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A};
constexpr std::uint8_t ftypBox[20] = {0, 0, 0, 0x14, 'f', 't', 'y', 'p', 'j', 'x', 'l', ' ',
                                      0, 0, 0, 0,    'j', 'x', 'l', ' '};

void appendBox(Blob& out, const char type[4], const std::uint8_t* payload, std::size_t size,
               const std::uint8_t* prefix = nullptr, std::size_t prefixSize = 0) {
    const std::uint64_t total = 8 + prefixSize + size;
    if (total <= 0xFFFFFFFFu) {
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(total >> shift));
        out.insert(out.end(), type, type + 4);
    } else {  // 64-bit "largesize" form
        const std::uint64_t large = total + 8;
        out.insert(out.end(), {0, 0, 0, 1});
        out.insert(out.end(), type, type + 4);
        for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(large >> shift));
    }
    if (prefix) out.insert(out.end(), prefix, prefix + prefixSize);
    out.insert(out.end(), payload, payload + size);
}

struct Box {
    std::size_t start, size, header;
    char type[4];
};

// Boxes of a container, or empty when the layout does not hold together.
std::vector<Box> boxes(const Blob& f) {
    std::vector<Box> out;
    std::size_t at = 0;
    while (at + 8 <= f.size()) {
        std::uint64_t size = 0;
        for (int i = 0; i < 4; ++i) size = size << 8 | f[at + static_cast<std::size_t>(i)];
        Box b{at, 0, 8, {}};
        std::memcpy(b.type, f.data() + at + 4, 4);
        if (size == 1) {
            if (at + 16 > f.size()) return {};
            size = 0;
            for (int i = 8; i < 16; ++i) size = size << 8 | f[at + static_cast<std::size_t>(i)];
            b.header = 16;
        } else if (size == 0) {
            size = f.size() - at;  // runs to the end of the file
        }
        if (size < b.header || size > f.size() - at) return {};
        b.size = static_cast<std::size_t>(size);
        out.push_back(b);
        at += b.size;
    }
    return at == f.size() ? out : std::vector<Box>{};
}
}  // namespace

std::optional<Blob> withMetadataBoxes(const Blob& file, const Blob* exifTiff, const std::string* xmp) {
    Blob out(std::begin(signatureBox), std::end(signatureBox));
    out.insert(out.end(), std::begin(ftypBox), std::end(ftypBox));
    auto appendMetadata = [&] {
        // The Exif box starts with the offset of the TIFF header inside it: 0.
        static constexpr std::uint8_t offset[4] = {0, 0, 0, 0};
        if (exifTiff && !exifTiff->empty()) appendBox(out, "Exif", exifTiff->data(), exifTiff->size(), offset, 4);
        if (xmp && !xmp->empty())
            appendBox(out, "xml ", reinterpret_cast<const std::uint8_t*>(xmp->data()), xmp->size());
    };

    if (file.size() >= 2 && file[0] == 0xFF && file[1] == 0x0A) {  // bare codestream
        appendMetadata();
        appendBox(out, "jxlc", file.data(), file.size());
        return out;
    }
    if (file.size() < sizeof signatureBox || std::memcmp(file.data(), signatureBox, sizeof signatureBox) != 0)
        return std::nullopt;
    const std::vector<Box> all = boxes(file);
    if (all.empty()) return std::nullopt;
    bool placed = false;
    for (const Box& b : all) {
        const std::string_view type(b.type, 4);
        if (type == "JXL " || type == "ftyp" || type == "Exif" || type == "xml ") continue;
        if (type == "jxll") {  // the level box stays right after ftyp
            out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(b.start),
                       file.begin() + static_cast<std::ptrdiff_t>(b.start + b.size));
            continue;
        }
        if (!placed) {
            appendMetadata();
            placed = true;
        }
        out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(b.start),
                   file.begin() + static_cast<std::ptrdiff_t>(b.start + b.size));
    }
    if (!placed) return std::nullopt;
    return out;
}

std::optional<Blob> withPlainMetadataBoxes(const Blob& file, const Blob* exif, const Blob* xml) {
    const std::vector<Box> all = boxes(file);
    if (all.empty()) return std::nullopt;
    Blob out;
    out.reserve(file.size() + (exif ? exif->size() : 0) + (xml ? xml->size() : 0));
    for (const Box& b : all) {
        const std::string_view type(b.type, 4);
        const auto* payload = file.data() + b.start + b.header;
        const std::size_t payloadSize = b.size - b.header;
        // A "brob" box holds the type of the box it compresses, then the Brotli stream.
        const std::string_view inner =
            type == "brob" && payloadSize >= 4 ? std::string_view(reinterpret_cast<const char*>(payload), 4) : type;
        const Blob* plain = inner == "Exif" ? exif : inner == "xml " ? xml : nullptr;
        if ((inner == "Exif" || inner == "xml ") && !plain) return std::nullopt;
        if (type == "brob" && plain && !plain->empty())
            appendBox(out, inner == "Exif" ? "Exif" : "xml ", plain->data(), plain->size());
        else
            out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(b.start),
                       file.begin() + static_cast<std::ptrdiff_t>(b.start + b.size));
    }
    return out;
}

}  // namespace krumple::jxl
