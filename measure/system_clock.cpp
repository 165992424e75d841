#include "measure/clock.h"

#include "measure/counter.h"

#include <chrono>

namespace cyclara {

namespace {

class MachineClock : public Clock {
  public:
    int64_t CounterFrequency() override { return ReadCounterFrequency(); }
    int64_t CounterTicks() override { return ReadCounter(); }
    WallPairing PairWithUtc() override { return ReadWallPairing(); }
    ClockState Discipline() override { return ReadClockState(); }
    std::optional<ClockPair> RawAndDisciplined() override { return ReadClockPair(); }
    int64_t MonotonicNs() override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

}  // namespace

Clock& SystemClock() {
    static MachineClock clock;
    return clock;
}

}  // namespace cyclara
