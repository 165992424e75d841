// Counter ticks as time: the one conversion every interval and timestamp goes through.
#pragma once

#include <cstdint>

namespace cyclara {

// `ticks` of a counter running at `frequency` ticks a second, in units of 1/`unit` second,
// rounded; exact for any interval of the program's life (no intermediate product overflows
// for counters up to 9 GHz and units up to 1e9).
int64_t ScaleTicks(int64_t ticks, int64_t frequency, int64_t unit);

}  // namespace cyclara
