#include "logger/clock_reader.h"

namespace cyclara::logger {

const ClockState& ClockReader::Read() {
    const int64_t nowNs = m_clock.MonotonicNs();
    if (!m_read || nowNs - m_stateReadAtNs >= kStateEveryNs) {
        m_state = m_clock.Discipline();
        m_stateReadAtNs = nowNs;
        m_read = true;
    }
    m_pipeline.ClockRead(m_state);
    return m_state;
}

}  // namespace cyclara::logger
