#include "jpeg_segments.h"

#include <algorithm>
#include <string_view>

namespace krumple::jpeg {

std::optional<Blob> withoutSegments(const Blob& file,
                                    const std::function<bool(std::uint8_t, std::span<const std::uint8_t>)>& drop) {
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return std::nullopt;
    Blob out(file.begin(), file.begin() + 2);
    std::size_t at = 2;
    while (true) {
        if (at + 4 > file.size() || file[at] != 0xFF) return std::nullopt;
        const std::uint8_t marker = file[at + 1];
        // From the first frame or scan header on, everything is kept as it is.
        if (marker == 0xDA || (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                               marker != 0xCC)) {
            out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(at), file.end());
            return out;
        }
        const std::size_t length = std::size_t{file[at + 2]} << 8 | file[at + 3];
        if (length < 2 || at + 2 + length > file.size()) return std::nullopt;
        const std::span<const std::uint8_t> payload(file.data() + at + 4, length - 2);
        if (!drop(marker, payload))
            out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(at),
                       file.begin() + static_cast<std::ptrdiff_t>(at + 2 + length));
        at += 2 + length;
    }
}

bool isExif(std::uint8_t marker, std::span<const std::uint8_t> payload) {
    constexpr std::string_view prefix("Exif\0\0", 6);
    return marker == 0xE1 && payload.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), payload.begin());
}

}  // namespace krumple::jpeg
