#include "logger/clock_reader.h"

namespace cyclara::logger {

const ClockState& ClockReader::Read() {
    const auto now = std::chrono::steady_clock::now();
    if (!m_read || now - m_stateReadAt >= kStateEvery) {
        const bool slewing = m_state.slewing;
        m_state = ReadClockState();
        m_state.slewing = slewing;
        m_stateReadAt = now;
        m_read = true;
    }
    if (const std::optional<ClockPair> pair = ReadClockPair()) {
        m_state.slewing = m_slew.Sample(pair->rawNs, pair->disciplinedNs);
    }
    m_dispatch.ClockRead(m_state);
    return m_state;
}

}  // namespace cyclara::logger
