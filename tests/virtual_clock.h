// A clock that moves only when the test says: the counter runs at 1 GHz from 0, UTC is the
// counter plus a fixed moment, and the monotonic time is the counter.
#pragma once

#include "measure/clock.h"
#include "tests/nanosecond_counter.h"

#include <cstdint>

namespace cyclara::testing {

class VirtualClock : public Clock {
  public:
    explicit VirtualClock(int64_t utcAtZeroNs) : m_utcAtZeroNs(utcAtZeroNs) {}

    void SetTicks(int64_t ticks) { m_ticks = ticks; }
    void SetDiscipline(const ClockState& state) { m_state = state; }

    int64_t CounterFrequency() override { return kGigahertz; }
    int64_t CounterTicks() override { return m_ticks; }
    WallPairing PairWithUtc() override { return {m_utcAtZeroNs + m_ticks, m_ticks}; }
    ClockState Discipline() override { return m_state; }
    std::optional<ClockPair> RawAndDisciplined() override { return ClockPair{m_ticks, m_ticks}; }
    int64_t MonotonicNs() override { return m_ticks; }

  private:
    const int64_t m_utcAtZeroNs;
    int64_t m_ticks = 0;
    ClockState m_state;
};

}  // namespace cyclara::testing
