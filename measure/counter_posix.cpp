#include "measure/counter.h"

#include "measure/time_spans.h"

#include <time.h>

namespace cyclara {

// CLOCK_MONOTONIC runs at the NTP-disciplined rate, so a machine that keeps time measures
// the mains against true seconds rather than against its own crystal's error.
int64_t ReadCounterFrequency() {
    return kSecondNs;
}

int64_t ReadCounter() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * kSecondNs + now.tv_nsec;
}

}  // namespace cyclara
