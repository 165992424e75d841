// A clock that moves only when the test says: the counter runs at 1 GHz from 0, UTC is the
// counter plus a fixed moment, and the monotonic time is the counter. The counter is the
// disciplined clock; the raw crystal beside it keeps pace unless a slew is set.
#pragma once

#include "measure/clock.h"
#include "tests/nanosecond_counter.h"

#include <cmath>
#include <cstdint>

namespace cyclara::testing {

class VirtualClock : public Clock {
  public:
    explicit VirtualClock(int64_t utcAtZeroNs) : m_utcAtZeroNs(utcAtZeroNs) {}

    void SetTicks(int64_t ticks) {
        m_rawNs += std::llround(static_cast<double>(ticks - m_ticks) / (1 + m_slewPpm * 1e-6));
        m_ticks = ticks;
    }
    // From now on the counter runs `ppm` faster than the raw crystal.
    void Slew(double ppm) { m_slewPpm = ppm; }
    void SetDiscipline(const ClockState& state) { m_state = state; }

    int64_t CounterFrequency() override { return kGigahertz; }
    int64_t CounterTicks() override { return m_ticks; }
    WallPairing PairWithUtc() override { return {m_utcAtZeroNs + m_ticks, m_ticks}; }
    ClockState Discipline() override { return m_state; }
    std::optional<ClockPair> RawAndDisciplined() override { return ClockPair{m_rawNs, m_ticks}; }
    int64_t MonotonicNs() override { return m_ticks; }

  private:
    const int64_t m_utcAtZeroNs;
    int64_t m_ticks = 0;
    int64_t m_rawNs = 0;
    double m_slewPpm = 0;
    ClockState m_state;
};

}  // namespace cyclara::testing
