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
