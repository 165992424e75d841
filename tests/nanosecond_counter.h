// The counter the measurement tests tick: one of a nanosecond, as CLOCK_MONOTONIC is.
#pragma once

#include <cstdint>

namespace cyclara {

inline constexpr int64_t kGigahertz = 1'000'000'000;

}  // namespace cyclara
