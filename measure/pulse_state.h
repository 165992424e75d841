// Turns DSR pulses, one per nominal second, into elapsed time, last interval and mean
// deviation, drives the indicator and marks the log rows.
#pragma once

#include <cstdint>

namespace cyclara {

class MeasurementDisplay;
class MeasurementLog;

// Owned by one receive thread and reset when it starts; nothing else touches it.
class PulseState {
  public:
    PulseState(MeasurementDisplay& display, MeasurementLog& log);

    // Stores the counter's ticks per second and restarts from warm-up.
    void Reset(int64_t frequency);

    // A rising DSR edge read at counter value `now`: the first two pulses after opening only
    // light the indicator, the third becomes the reference, every later one is measured.
    void OnDsrOn(int64_t now);

    // A falling edge only unlights the indicator.
    void OnDsrOff();

  private:
    static constexpr int32_t kWarmUpPulses = 2;
    static constexpr int32_t kLogEveryIntervals = 600;

    void Measure(int64_t now);

    MeasurementDisplay& m_display;
    MeasurementLog& m_log;
    int64_t m_frequency = 0;
    int64_t m_last = 0;
    int64_t m_start = 0;  // 0: no reference pulse yet
    int32_t m_warmUpCount = 0;
    int32_t m_intervalCount = 0;
};

}  // namespace cyclara
