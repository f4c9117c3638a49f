#pragma once

// Internal to the engine: the one way a file is written. It appears at its
// path whole or not at all; a process killed midway leaves nothing behind.

#include <sys/stat.h>

#include <array>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>

#include "convert_settings.h"

namespace krumple {

class AtomicFile {
public:
    // nullptr when the folder cannot take a file. With Replace::never, a file
    // that turns up at `path` meanwhile is left untouched and commit() fails.
    static std::unique_ptr<AtomicFile> create(const std::filesystem::path& path, Replace replace);
    ~AtomicFile();  // without a successful commit(), nothing is left on disk
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    int fd() const { return fd_; }
    const std::filesystem::path& path() const { return path_; }
    // The access and modification times the file gets before it appears.
    void setTimes(const struct timespec& accessed, const struct timespec& modified);
    // Flushes the file and puts it in place. `written` says whether everything
    // the caller wrote went through; when false, the file is dropped.
    bool commit(bool written);

private:
    AtomicFile(std::filesystem::path path, Replace replace, std::filesystem::path temp, int fd);
    std::filesystem::path path_;
    Replace replace_;
    std::filesystem::path temp_;  // empty when fd_ is an unnamed (O_TMPFILE) file
    int fd_ = -1;
    std::optional<std::array<struct timespec, 2>> times_;
    bool committed_ = false;
};

// Writes all `size` bytes to `fd`, through interruptions and short writes;
// false when the file takes no more.
bool writeWhole(int fd, const void* data, std::size_t size);

}  // namespace krumple
