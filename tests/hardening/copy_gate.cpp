// copy_file_range defined here takes the place of the C library's for the
// whole test program, the engine's copies of kept originals included.

#include "copy_gate.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace krumple::test::copy_gate {
namespace {

std::mutex mutex;
std::condition_variable changed;
bool armed = false;
int calls = 0;
int holdAt = 0;
int held = 0;

}  // namespace

void holdFrom(int call) {
    std::lock_guard lock(mutex);
    armed = true;
    calls = 0;
    holdAt = call;
}

bool holding() {
    std::lock_guard lock(mutex);
    return held > 0;
}

void open() {
    std::lock_guard lock(mutex);
    armed = false;
    changed.notify_all();
}

// Returns the most this call may copy.
static std::size_t admit(std::size_t length) {
    std::unique_lock lock(mutex);
    if (!armed) return length;
    if (++calls < holdAt) return std::min<std::size_t>(length, 4096);
    ++held;
    changed.wait(lock, [] { return !armed; });
    --held;
    return std::min<std::size_t>(length, 4096);
}

}  // namespace krumple::test::copy_gate

extern "C" ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t length,
                                   unsigned int flags) {
    using Real = ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned int);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "copy_file_range"));
    return real(in, inOffset, out, outOffset, krumple::test::copy_gate::admit(length), flags);
}
