// Preloaded into the command line by the kill tests: each copy_file_range
// moves at most 32 kB and takes 25 ms, and appends a byte to the file named
// by KRUMPLE_COPY_MARK, so a test can tell a copy has begun and kill the
// process while it is still going. With KRUMPLE_COPY_REFUSE set it fails as
// across file systems, so copies must go by reading and writing.

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>

extern "C" ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t length,
                                   unsigned int flags) {
    using Real = ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned int);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "copy_file_range"));
    if (const char* mark = std::getenv("KRUMPLE_COPY_MARK")) {
        const int fd = ::open(mark, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd >= 0) {
            [[maybe_unused]] const ssize_t n = ::write(fd, "c", 1);
            ::close(fd);
        }
    }
    if (std::getenv("KRUMPLE_COPY_REFUSE")) {
        errno = EXDEV;
        return -1;
    }
    const timespec pause{0, 25'000'000};
    ::nanosleep(&pause, nullptr);
    return real(in, inOffset, out, outOffset, std::min<size_t>(length, 32 * 1024), flags);
}
