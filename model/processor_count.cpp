#include "processor_count.h"

#include <sched.h>

#include <thread>

namespace krumple {

int activeProcessorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return concurrencyLimit(CPU_COUNT(&set));
    return concurrencyLimit(static_cast<int>(std::thread::hardware_concurrency()));
}

}  // namespace krumple
