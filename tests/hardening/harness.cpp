#include "harness.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "image_io.h"

namespace krumple::test {

namespace {
std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}
}  // namespace

void tally(std::string_view what, std::int64_t n) {
    const char* ledger = std::getenv("KRUMPLE_LEDGER");
    if (!ledger || !*ledger || n == 0) return;
    // One short line per append: O_APPEND keeps parallel tests' lines whole.
    std::ofstream(ledger, std::ios::app) << what << ' ' << n << '\n';
}

std::vector<fs::path> filesUnder(const fs::path& root) {
    std::vector<fs::path> found;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_regular_file(error) && !it->is_symlink(error)) found.push_back(it->path());
    }
    return found;
}

FolderSnapshot::FolderSnapshot(const fs::path& root) {
    for (const auto& file : filesUnder(root)) files_.emplace(file, contents(file));
}

std::vector<fs::path> FolderSnapshot::damaged() const {
    std::vector<fs::path> bad;
    for (const auto& [file, bytes] : files_) {
        std::error_code error;
        if (!fs::is_regular_file(file, error) || contents(file) != bytes) bad.push_back(file);
    }
    tally("checked", static_cast<std::int64_t>(files_.size() - bad.size()));
    tally("damaged", static_cast<std::int64_t>(bad.size()));
    return bad;
}

std::vector<fs::path> temporaries(const fs::path& root) {
    std::vector<fs::path> found;
    for (const auto& file : filesUnder(root)) {
        const std::string name = file.filename().string();
        if (name.starts_with(".krumple-") && name.ends_with(".tmp")) found.push_back(file);
    }
    return found;
}

std::vector<fs::path> brokenFiles(const std::vector<fs::path>& outputs) {
    std::vector<fs::path> broken;
    for (const auto& file : outputs) {
        std::error_code error;
        if (!fs::exists(file, error)) continue;
        const auto source = ImageSource::open(file);
        if (!source || !source->decodesCleanly()) broken.push_back(file);
    }
    tally("checked", static_cast<std::int64_t>(outputs.size() - broken.size()));
    tally("damaged", static_cast<std::int64_t>(broken.size()));
    return broken;
}

ScratchMount::ScratchMount(const fs::path& at, std::int64_t bytes, bool readOnly) : at_(at) {
    fs::create_directories(at);
    if (::geteuid() != 0) {
        why_ = "mounting a tmpfs needs root";
        return;
    }
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    const unsigned long flags = MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    if (::mount("tmpfs", at.c_str(), "tmpfs", flags, options.c_str()) != 0) {
        why_ = std::string("this machine doesn't allow mounting a tmpfs: ") + std::strerror(errno);
        return;
    }
    mounted_ = true;
}

ScratchMount::~ScratchMount() {
    if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
}

}  // namespace krumple::test
