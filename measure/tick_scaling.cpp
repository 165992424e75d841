#include "measure/tick_scaling.h"

namespace cyclara {

int64_t ScaleTicks(int64_t ticks, int64_t frequency, int64_t unit) {
    const int64_t whole = ticks / frequency;
    const int64_t rest = ticks % frequency;
    const int64_t half = rest >= 0 ? frequency / 2 : -frequency / 2;
    return whole * unit + (rest * unit + half) / frequency;
}

}  // namespace cyclara
