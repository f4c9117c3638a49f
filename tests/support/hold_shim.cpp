// Preloaded into the command line by the interruption tests, so that a kill or
// an interrupt lands at a chosen point of the work instead of a moment on a
// clock. Two calls are watched: copy_file_range (a kept original being copied,
// at most 32 kB a call) and linkat (a finished output taking its final name).
// Each call appends a byte to the file named by KRUMPLE_COPY_MARK or
// KRUMPLE_LINK_MARK, after it is done, so a test can tell how far the work got.
// From the n-th call on (KRUMPLE_COPY_HOLD=n, KRUMPLE_LINK_HOLD=n) a call marks
// and then waits until the file named by KRUMPLE_RELEASE exists; without it,
// until the process is killed. With KRUMPLE_COPY_REFUSE set, copies fail as
// across file systems, so they must go by reading and writing.

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace {

// Leaves errno as the watched call set it.
void mark(const char* variable) {
    const int error = errno;
    const char* file = std::getenv(variable);
    const int fd = file ? ::open(file, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(fd, "c", 1);
        ::close(fd);
    }
    errno = error;
}

// Whether this call was held: marked, then kept waiting for the release.
bool held(std::atomic<long>& calls, const char* markVariable, const char* holdVariable) {
    const long call = ++calls;
    const char* hold = std::getenv(holdVariable);
    if (!hold || call < std::atol(hold)) return false;
    mark(markVariable);
    const char* release = std::getenv("KRUMPLE_RELEASE");
    const timespec step{0, 1'000'000};
    while (!release || ::access(release, F_OK) != 0) ::nanosleep(&step, nullptr);
    return true;
}

std::atomic<long> copies{0};
std::atomic<long> links{0};

}  // namespace

extern "C" ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t length,
                                   unsigned int flags) {
    using Real = ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned int);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "copy_file_range"));
    const bool wasHeld = held(copies, "KRUMPLE_COPY_MARK", "KRUMPLE_COPY_HOLD");
    ssize_t n = -1;
    errno = EXDEV;
    if (!std::getenv("KRUMPLE_COPY_REFUSE")) n = real(in, inOffset, out, outOffset, std::min<size_t>(length, 32 * 1024), flags);
    if (!wasHeld) mark("KRUMPLE_COPY_MARK");
    return n;
}

extern "C" int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
    using Real = int (*)(int, const char*, int, const char*, int);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "linkat"));
    const bool wasHeld = held(links, "KRUMPLE_LINK_MARK", "KRUMPLE_LINK_HOLD");
    const int result = real(fromFolder, from, toFolder, to, flags);
    if (!wasHeld) mark("KRUMPLE_LINK_MARK");
    return result;
}
