#include <cctype>

#include "metadata_blocks.h"

namespace krumple::xmp {

namespace {
std::size_t skipSpace(const std::string& s, std::size_t i) {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    return i;
}
}  // namespace

std::string upright(std::string packet) {
    // Both forms: tiff:Orientation="6" and <tiff:Orientation>6</tiff:Orientation>.
    static constexpr std::string_view name = "tiff:Orientation";
    std::size_t at = 0;
    while ((at = packet.find(name, at)) != std::string::npos) {
        at += name.size();
        std::size_t i = skipSpace(packet, at);
        if (i < packet.size() && packet[i] == '=') {
            i = skipSpace(packet, i + 1);
            if (i >= packet.size() || (packet[i] != '"' && packet[i] != '\'')) continue;
            i = skipSpace(packet, i + 1);
        } else if (i < packet.size() && packet[i] == '>') {
            i = skipSpace(packet, i + 1);
        } else {
            continue;
        }
        std::size_t end = i;
        while (end < packet.size() && std::isdigit(static_cast<unsigned char>(packet[end]))) ++end;
        if (end > i) packet.replace(i, end - i, "1");
    }
    return packet;
}

}  // namespace krumple::xmp
