#include "image_names.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <string>

namespace krumple {
namespace {

bool startsWith(const char* bytes, std::size_t got, std::string_view signature, std::size_t at = 0) {
    return got >= at + signature.size() && std::memcmp(bytes + at, signature.data(), signature.size()) == 0;
}

bool hasImageSignature(const std::filesystem::path& file) {
    char head[16] = {};
    std::ifstream in(file, std::ios::binary);
    in.read(head, sizeof head);
    const auto got = static_cast<std::size_t>(in.gcount());
    using namespace std::string_view_literals;
    return startsWith(head, got, "\xFF\xD8\xFF"sv) || startsWith(head, got, "\x89PNG\r\n\x1A\n"sv) ||
           startsWith(head, got, "GIF8"sv) || (startsWith(head, got, "RIFF"sv) && startsWith(head, got, "WEBP"sv, 8)) ||
           startsWith(head, got, "ftyp"sv, 4) ||  // HEIF, AVIF, JPEG XL's and JPEG 2000's boxes
           startsWith(head, got, "\xFF\x0A"sv) || startsWith(head, got, "\x00\x00\x00\x0CJXL "sv) ||
           startsWith(head, got, "\x00\x00\x00\x0CjP  "sv) || startsWith(head, got, "\xFF\x4F\xFF\x51"sv) ||
           startsWith(head, got, "II*\0"sv) || startsWith(head, got, "MM\0*"sv) ||
           (startsWith(head, got, "BM"sv) && startsWith(head, got, "\0\0\0\0"sv, 6));  // BMP's reserved bytes
}

}  // namespace

bool meantAsImage(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    std::ranges::transform(extension, extension.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::ranges::find(imageExtensions, extension) != imageExtensions.end() || hasImageSignature(file);
}

}  // namespace krumple
