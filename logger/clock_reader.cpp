#include "logger/clock_reader.h"

namespace cyclara::logger {

const ClockState& ClockReader::Read() {
    const int64_t nowNs = m_clock.MonotonicNs();
    if (!m_read || nowNs - m_stateReadAtNs >= kStateEveryNs) {
        const bool slewing = m_state.slewing;
        m_state = m_clock.Discipline();
        m_state.slewing = slewing;
        m_stateReadAtNs = nowNs;
        m_read = true;
    }
    if (const std::optional<ClockPair> pair = m_clock.RawAndDisciplined()) {
        m_state.slewing = m_slew.Sample(pair->rawNs, pair->disciplinedNs);
    }
    m_pipeline.ClockRead(m_state);
    return m_state;
}

}  // namespace cyclara::logger
