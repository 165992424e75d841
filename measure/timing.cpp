#include "measure/timing.h"

#include <limits>

namespace cyclara {

int64_t TicksToMicroseconds(int64_t ticks, int64_t frequency) {
    if (frequency <= 0) {
        return 0;
    }
    // ticks = seconds * frequency + remainder, both parts carrying the sign of ticks, so the
    // truncated sum of the two scaled parts equals the truncated scaled whole.
    const int64_t seconds = ticks / frequency;
    const int64_t remainder = ticks % frequency;
    // The bound leaves a second of headroom, so callers may still subtract one second.
    constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / kMicrosecondsPerSecond - 2;
    if (seconds > kLimit) {
        return kLimit * kMicrosecondsPerSecond;
    }
    if (seconds < -kLimit) {
        return -kLimit * kMicrosecondsPerSecond;
    }
    // remainder < frequency; a frequency above 9.2e12 ticks per second would overflow here,
    // far beyond any real counter (QueryPerformanceFrequency reports 10 MHz, POSIX 1 GHz).
    return seconds * kMicrosecondsPerSecond + remainder * kMicrosecondsPerSecond / frequency;
}

int64_t TicksBetween(int64_t later, int64_t earlier) {
    return static_cast<int64_t>(static_cast<uint64_t>(later) - static_cast<uint64_t>(earlier));
}

int32_t Low32(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

Elapsed SplitElapsed(int32_t intervals) {
    const int32_t withinHour = intervals % 3600;
    return {intervals / 3600, withinHour / 60, withinHour % 60};
}

int32_t MeanDeviationMicroseconds(int64_t spanTicks, int32_t intervals, int64_t frequency) {
    const int64_t meanTicks = spanTicks / intervals;
    return Low32(TicksToMicroseconds(meanTicks, frequency) - kMicrosecondsPerSecond);
}

char DifferenceSign(int32_t difference) {
    if (difference > 0) {
        return '+';
    }
    return difference < 0 ? '-' : ' ';
}

int32_t DifferenceMagnitude(int32_t difference) {
    if (difference == std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::max();
    }
    return difference < 0 ? -difference : difference;
}

}  // namespace cyclara
