#include "logger/pipeline_watch.h"

namespace cyclara::logger {

PipelineWatch::Change PipelineWatch::Look(int64_t rises, Clock::time_point now) {
    if (m_rises < 0) {
        m_rises = rises;
        m_lastMove = now;
    }
    if (rises != m_rises) {
        m_rises = rises;
        m_lastMove = now;
        if (m_quiet) {
            m_quiet = false;
            return Change::kPulsesAgain;
        }
        return Change::kNone;
    }
    if (!m_quiet && now - m_lastMove >= kQuietAfter) {
        m_quiet = true;
        return Change::kQuiet;
    }
    return Change::kNone;
}

void PipelineWatch::Waiting(Clock::time_point now) {
    m_lastMove = now;
    m_quiet = false;
}

}  // namespace cyclara::logger
