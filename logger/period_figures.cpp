#include "logger/period_figures.h"

#include "measure/time_spans.h"

#include <algorithm>
#include <cmath>

namespace cyclara::logger {

bool PeriodFigures::OutsideStandardRange(double hertz) const {
    return m_standardRangeHz && m_nominalHz != 0 &&
           std::abs(hertz - m_nominalHz) > *m_standardRangeHz;
}

void PeriodFigures::Add(const PulseReport& report) {
    if (!report.IsMeasured() || !report.figures) {
        return;
    }
    const PulseFigures& figures = *report.figures;
    ++m_pulses;
    m_lost += figures.lost;
    m_glitches += figures.kind == PulseFigures::Kind::kGlitch ? 1 : 0;
    m_last = report;
    m_nominalHz = report.nominalHz != 0 ? report.nominalHz : m_nominalHz;
    // A glitch repeats the last reading's figures: it is no reading of its own.
    if (figures.frequencyTenMicroHz && figures.kind == PulseFigures::Kind::kMeasured) {
        AddReading(*figures.frequencyTenMicroHz, report.unixNanoseconds);
    }
}

void PeriodFigures::AddReading(int64_t frequency, int64_t unixNs) {
    ++m_frequencies;
    m_frequencySum += frequency;
    if (!m_lowest || frequency < *m_lowest) {
        m_lowest = frequency;
        m_lowestNs = unixNs;
    }
    if (!m_highest || frequency > *m_highest) {
        m_highest = frequency;
        m_highestNs = unixNs;
    }
    const double hertz = HertzOf(frequency);
    const double step = hertz - m_meanHz;
    m_meanHz += step / static_cast<double>(m_frequencies);
    m_squares += step * (hertz - m_meanHz);
    m_outside += OutsideStandardRange(hertz) ? 1 : 0;
    for (size_t i = 0; i < m_bands.size(); ++i) {
        m_outsideBands[i] += hertz < m_bands[i].lowHz || hertz > m_bands[i].highHz ? 1 : 0;
    }
    if (PeriodOf(unixNs, kMinuteNs) != m_minute) {
        m_minutesOutside = MinutesOutsideStandardRange().value_or(0);
        m_minute = PeriodOf(unixNs, kMinuteNs);
        m_minuteSum = m_minuteReadings = 0;
    }
    m_minuteSum += frequency;
    ++m_minuteReadings;
}

std::optional<int64_t> PeriodFigures::Mean() const {
    if (m_frequencies == 0) {
        return std::nullopt;
    }
    return (m_frequencySum + m_frequencies / 2) / m_frequencies;
}

std::optional<double> PeriodFigures::StandardDeviationHz() const {
    if (m_frequencies < 2) {
        return std::nullopt;
    }
    return std::sqrt(m_squares / static_cast<double>(m_frequencies - 1));
}

std::optional<int64_t> PeriodFigures::SecondsOutsideStandardRange() const {
    return m_standardRangeHz ? std::optional(m_outside) : std::nullopt;
}

// The minute being summed counts with what it has so far.
std::optional<int64_t> PeriodFigures::MinutesOutsideStandardRange() const {
    if (!m_standardRangeHz) {
        return std::nullopt;
    }
    if (m_minuteReadings == 0) {
        return m_minutesOutside;
    }
    const double mean = HertzOf(m_minuteSum) / static_cast<double>(m_minuteReadings);
    return m_minutesOutside + (OutsideStandardRange(mean) ? 1 : 0);
}

int64_t PeriodOf(int64_t unixNanoseconds, int64_t lengthNanoseconds) {
    return unixNanoseconds / lengthNanoseconds;
}

}  // namespace cyclara::logger
