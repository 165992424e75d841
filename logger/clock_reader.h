// The clock as cyclara-log follows it on its main thread: the kernel's state once a minute, the
// rate against the raw crystal at every read, handed to the dispatch, which makes a change an
// event.
#pragma once

#include "logger/pulse_dispatch.h"
#include "measure/clock_state.h"

#include <chrono>

namespace cyclara::logger {

class ClockReader {
  public:
    explicit ClockReader(PulseDispatch& dispatch) : m_dispatch(dispatch) {}

    // The main thread, every few seconds: reads, hands on and returns the state.
    const ClockState& Read();

  private:
    // A daemon's estimate comes from a program it answers through; once a minute is enough.
    static constexpr std::chrono::seconds kStateEvery{60};

    PulseDispatch& m_dispatch;
    SlewWatch m_slew;
    ClockState m_state;
    std::chrono::steady_clock::time_point m_stateReadAt;
    bool m_read = false;
};

}  // namespace cyclara::logger
