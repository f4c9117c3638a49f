#pragma once

// libvips hands work between its threads through GLib's futexes, which
// ThreadSanitizer can't see. These tell it that whatever was done with
// `object` before handOver is seen by the thread that calls takeOver.

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
namespace krumple {
inline void handOver(void* object) { __tsan_release(object); }
inline void takeOver(void* object) { __tsan_acquire(object); }
}  // namespace krumple
#else
namespace krumple {
inline void handOver(void*) {}
inline void takeOver(void*) {}
}  // namespace krumple
#endif

namespace krumple {
// Takes `object` over for a callback's scope and hands it back at its end.
class HeldForScope {
public:
    explicit HeldForScope(void* object) : object_(object) { takeOver(object_); }
    ~HeldForScope() { handOver(object_); }
    HeldForScope(const HeldForScope&) = delete;
    HeldForScope& operator=(const HeldForScope&) = delete;

private:
    void* object_;
};
}  // namespace krumple
