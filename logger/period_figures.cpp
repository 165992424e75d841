#include "logger/period_figures.h"

#include <algorithm>

namespace cyclara::logger {

void PeriodFigures::Add(const PulseReport& report) {
    if (!report.IsMeasured() || !report.figures) {
        return;
    }
    const PulseFigures& figures = *report.figures;
    ++m_pulses;
    m_lost += figures.lost;
    m_glitches += figures.kind == PulseFigures::Kind::kGlitch ? 1 : 0;
    m_last = report;
    if (const std::optional<int64_t>& frequency = figures.frequency) {
        ++m_frequencies;
        m_frequencySum += *frequency;
        m_lowest = std::min(m_lowest.value_or(*frequency), *frequency);
        m_highest = std::max(m_highest.value_or(*frequency), *frequency);
    }
}

std::optional<int64_t> PeriodFigures::Mean() const {
    if (m_frequencies == 0) {
        return std::nullopt;
    }
    return (m_frequencySum + m_frequencies / 2) / m_frequencies;
}

int64_t PeriodOf(int64_t unixNanoseconds, int64_t lengthNanoseconds) {
    return unixNanoseconds / lengthNanoseconds;
}

}  // namespace cyclara::logger
