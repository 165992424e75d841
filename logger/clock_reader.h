// The clock as cyclara-log follows it on its main thread: the kernel's state once a minute,
// handed to the pipeline, which makes a change an event (and follows a slew at every pulse).
#pragma once

#include "grid/pulse_pipeline.h"
#include "measure/clock.h"
#include "measure/clock_state.h"
#include "measure/time_spans.h"

#include <cstdint>

namespace cyclara::logger {

class ClockReader {
  public:
    ClockReader(Clock& clock, PulsePipeline& pipeline) : m_clock(clock), m_pipeline(pipeline) {}

    // The main thread, every few seconds: reads, hands on and returns the state.
    const ClockState& Read();

  private:
    // A daemon's estimate comes from a program it answers through; once a minute is enough.
    static constexpr int64_t kStateEveryNs = 60 * kSecondNs;

    Clock& m_clock;
    PulsePipeline& m_pipeline;
    ClockState m_state;
    int64_t m_stateReadAtNs = 0;
    bool m_read = false;
};

}  // namespace cyclara::logger
