#include "measure/counter.h"
#include "measure/time_spans.h"
#include "measure/wall_clock.h"

#include <time.h>

namespace cyclara {

WallPairing ReadWallPairing() {
    return TightestPairing(ReadCounter, [] {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        return static_cast<int64_t>(now.tv_sec) * kSecondNs + now.tv_nsec;
    });
}

}  // namespace cyclara
