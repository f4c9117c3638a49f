#include "folder_walk.h"

#include <sys/stat.h>

#include <set>
#include <system_error>
#include <utility>

namespace krumple {
namespace {

bool isHidden(const std::filesystem::path& path) {
    const std::filesystem::path name = path.filename();
    return !name.empty() && name.native().front() == '.';
}

// Identity of a folder, so that bind mounts cannot make the walk go round.
std::pair<dev_t, ino_t> folderIdentity(const std::filesystem::path& folder) {
    struct stat info{};
    if (::stat(folder.c_str(), &info) != 0) return {0, 0};
    return {info.st_dev, info.st_ino};
}

}  // namespace

std::vector<std::filesystem::path> regularFilesUnder(const std::filesystem::path& folder,
                                                     std::stop_token stop) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::vector<fs::path> pending{folder};
    std::set<std::pair<dev_t, ino_t>> visited;

    while (!pending.empty() && !stop.stop_requested()) {
        fs::path current = std::move(pending.back());
        pending.pop_back();
        const auto identity = folderIdentity(current);
        if (identity != std::pair<dev_t, ino_t>{0, 0} && !visited.insert(identity).second) continue;

        std::error_code error;
        fs::directory_iterator it(current, error);
        if (error) continue;  // unreadable: skip it, go on with the rest
        for (; it != fs::directory_iterator(); it.increment(error)) {
            if (error) break;
            const fs::path& path = it->path();
            if (isHidden(path)) continue;
            std::error_code statusError;
            const fs::file_status status = it->symlink_status(statusError);
            if (statusError) continue;
            if (fs::is_directory(status)) {
                pending.push_back(path);
            } else if (fs::is_regular_file(status)) {
                files.push_back(path);
            }
        }
    }
    return files;
}

}  // namespace krumple
