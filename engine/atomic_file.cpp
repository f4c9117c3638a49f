#include "atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>

namespace krumple {
namespace {

std::filesystem::path folderOf(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

// A hidden name in the destination folder, so that the final rename is atomic
// and a batch adding that folder never picks it up.
std::filesystem::path temporaryName(const std::filesystem::path& folder) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    char name[48];
    std::snprintf(name, sizeof name, ".krumple-%016llx.tmp", static_cast<unsigned long long>(random()));
    return folder / name;
}

// An unnamed file in `folder` (O_TMPFILE): if the process dies before it is
// linked into place, the kernel frees it and nothing is left behind. Linking
// it goes through /proc; -1 when either is unavailable.
int openUnnamed(const std::filesystem::path& folder) {
    static const bool procLinks = ::access("/proc/self/fd", X_OK) == 0;
    if (!procLinks) return -1;
    return ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

bool linkUnnamed(int fd, const std::filesystem::path& to) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// link() never replaces: that is Replace::never. Replacing links a hidden name
// first and renames it over the old file, atomically.
bool linkIntoPlace(int fd, const std::filesystem::path& to, Replace replace) {
    if (linkUnnamed(fd, to)) return true;
    if (errno != EEXIST || replace == Replace::never) return false;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::filesystem::path hidden = temporaryName(folderOf(to));
        if (!linkUnnamed(fd, hidden)) {
            if (errno == EEXIST) continue;
            return false;
        }
        if (::rename(hidden.c_str(), to.c_str()) == 0) return true;
        ::unlink(hidden.c_str());
        return false;
    }
    return false;
}

bool moveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to, Replace replace) {
    if (replace == Replace::allowed) return ::rename(from.c_str(), to.c_str()) == 0;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: link() refuses an existing name too.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

}  // namespace

std::unique_ptr<AtomicFile> AtomicFile::create(const std::filesystem::path& path, Replace replace) {
    const std::filesystem::path folder = folderOf(path);
    if (const int fd = openUnnamed(folder); fd >= 0)
        return std::unique_ptr<AtomicFile>(new AtomicFile(path, replace, {}, fd));
    // File systems without unnamed files: a hidden name, renamed at the end.
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::filesystem::path temp = temporaryName(folder);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return std::unique_ptr<AtomicFile>(new AtomicFile(path, replace, std::move(temp), fd));
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}

AtomicFile::AtomicFile(std::filesystem::path path, Replace replace, std::filesystem::path temp, int fd)
    : path_(std::move(path)), replace_(replace), temp_(std::move(temp)), fd_(fd) {}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

void AtomicFile::setTimes(const struct timespec& accessed, const struct timespec& modified) {
    times_ = std::array<struct timespec, 2>{accessed, modified};
}

bool AtomicFile::commit(bool written) {
    if (fd_ < 0) return false;
    if (written && times_) written = ::futimens(fd_, times_->data()) == 0;
    // Flushed before it gets its name, so a crash never leaves a short file there.
    written = written && ::fsync(fd_) == 0;
    if (temp_.empty()) {
        // Linked while still open; an unlinked, unnamed file just vanishes on close.
        const bool placed = written && linkIntoPlace(fd_, path_, replace_);
        ::close(fd_);
        fd_ = -1;
        committed_ = placed;
        return placed;
    }
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!written || !closed || !moveIntoPlace(temp_, path_, replace_)) {
        ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    committed_ = true;
    return true;
}

bool writeWhole(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace krumple
