#pragma once

namespace krumple {

// CPUs this process may run on (its affinity mask), at least 1.
int activeProcessorCount();

// The batch size limit for a reported core count: below 1 counts as 1.
constexpr int concurrencyLimit(int reportedCores) { return reportedCores < 1 ? 1 : reportedCores; }

}  // namespace krumple
