#include "file_paths.h"

#include <system_error>

namespace krumple {

std::filesystem::path standardized(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) absolute = path;
    std::string text = absolute.lexically_normal().native();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return std::filesystem::path(std::move(text));
}

std::string standardizedPath(const std::filesystem::path& path) {
    return standardized(path).native();
}

}  // namespace krumple
