// Every read of time the measurement and its outputs make: the counter that timestamps the
// edges, the UTC pairing, the clock's discipline, and the monotonic time of deadlines. The
// programs pass the machine's clocks; a test passes a virtual clock and so runs a day in
// moments, exactly.
#pragma once

#include "measure/clock_state.h"
#include "measure/wall_clock.h"

#include <cstdint>
#include <optional>

namespace cyclara {

class Clock {
  public:
    virtual ~Clock() = default;

    // Ticks a second of CounterTicks(), fixed for the process's life.
    virtual int64_t CounterFrequency() = 0;
    virtual int64_t CounterTicks() = 0;
    // The realtime clock (UTC) beside the counter.
    virtual WallPairing PairWithUtc() = 0;
    // The kernel's discipline and a daemon's estimate; a query of its own, so read seldom.
    virtual ClockState Discipline() = 0;
    // The raw crystal and the disciplined clock read together; none where there is no raw one.
    virtual std::optional<ClockPair> RawAndDisciplined() = 0;
    // Monotonic nanoseconds, for deadlines, back-offs and the intervals between looks.
    virtual int64_t MonotonicNs() = 0;
};

// The machine's clocks. Any thread.
Clock& SystemClock();

}  // namespace cyclara
