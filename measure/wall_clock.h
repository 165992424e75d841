// UTC times for counter readings: the realtime clock read next to the counter gives one
// pairing, through which any reading near it becomes a time of day. A wall-clock step moves
// the times after the next pairing, never an interval, which only the counter measures.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace cyclara {

struct WallPairing {
    int64_t unixNanoseconds = 0;  // the realtime clock, UTC
    int64_t ticks = 0;            // the counter at the same moment
};

WallPairing ReadWallPairing();

// The realtime clock read between two counter readings, a few times: the narrowest bracket
// wins, and the counter's midpoint stands for the moment, so a preemption between the reads
// (on a thread of normal priority, milliseconds) cannot move the pairing.
WallPairing TightestPairing(const std::function<int64_t()>& readCounter,
                            const std::function<int64_t()>& readRealtime);

int64_t UnixNanosecondsOf(int64_t ticks, const WallPairing& pairing, int64_t counterFrequency);

// "2026-12-07T03:40:12.123456Z"
std::string FormatUtc(int64_t unixNanoseconds);
// "2026-12-07"
std::string UtcDate(int64_t unixNanoseconds);

}  // namespace cyclara
