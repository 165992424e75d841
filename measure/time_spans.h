// Spans of time in the units each part counts in: nanoseconds of the clocks and of the
// record's UTC times, milliseconds of the charts' time axes.
#pragma once

#include <cstdint>

namespace cyclara {

inline constexpr int64_t kSecondNs = 1'000'000'000;
inline constexpr int64_t kMinuteNs = 60 * kSecondNs;
inline constexpr int64_t kDayNs = 86'400 * kSecondNs;

inline constexpr int64_t kMinuteMs = 60'000;
inline constexpr int64_t kHourMs = 60 * kMinuteMs;
inline constexpr int64_t kDayMs = 24 * kHourMs;

}  // namespace cyclara
