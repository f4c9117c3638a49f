#include <regex>

#include "metadata_blocks.h"

namespace krumple::xmp {

std::string upright(std::string packet) {
    // Attribute form and element form of tiff:Orientation; group 1 is the value.
    static const std::regex attribute(R"re(tiff:Orientation\s*=\s*["']\s*(\d+))re");
    static const std::regex element(R"re(<tiff:Orientation>\s*(\d+))re");
    for (const std::regex* form : {&attribute, &element}) {
        std::string out;
        auto from = packet.cbegin();
        std::smatch m;
        while (std::regex_search(from, packet.cend(), m, *form)) {
            out.append(from, m[1].first);
            out += '1';
            from = m[1].second;
        }
        out.append(from, packet.cend());
        packet = std::move(out);
    }
    return packet;
}

}  // namespace krumple::xmp
