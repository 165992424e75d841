// The machine's high-resolution monotonic counter, which timestamps every DSR edge.
#pragma once

#include <cstdint>

namespace cyclara {

// Ticks per second of ReadCounter(); read once when a receive thread starts.
int64_t ReadCounterFrequency();

// The counter now, in ticks.
int64_t ReadCounter();

}  // namespace cyclara
