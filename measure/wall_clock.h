// UTC times for counter readings: the realtime clock read next to the counter gives one
// pairing, through which any reading near it becomes a time of day. A wall-clock step moves
// the times after the next pairing, never an interval, which only the counter measures.
#pragma once

#include <cstdint>
#include <string>

namespace cyclara {

struct WallPairing {
    int64_t unixNanoseconds = 0;  // the realtime clock, UTC
    int64_t ticks = 0;            // the counter, read right after it
};

WallPairing ReadWallPairing();

int64_t UnixNanosecondsOf(int64_t ticks, const WallPairing& pairing, int64_t counterFrequency);

// "2026-12-07T03:40:12.123456Z"
std::string FormatUtc(int64_t unixNanoseconds);
// "2026-12-07"
std::string UtcDate(int64_t unixNanoseconds);

}  // namespace cyclara
