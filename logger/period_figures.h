// What the pulses of a period showed, for the outputs that tell a period rather than a pulse:
// the journal's summary and Home Assistant's state.
#pragma once

#include "logger/output/pulse_report.h"

#include <cstdint>
#include <optional>

namespace cyclara::logger {

class PeriodFigures {
  public:
    void Add(const PulseReport& report);

    int64_t Pulses() const { return m_pulses; }
    int64_t Lost() const { return m_lost; }
    int64_t Glitches() const { return m_glitches; }
    // In units of 0.00001 Hz, over the period's one-second frequencies; none without one.
    std::optional<int64_t> Lowest() const { return m_lowest; }
    std::optional<int64_t> Highest() const { return m_highest; }
    std::optional<int64_t> Mean() const;
    // The last measured pulse's report, for what a period tells at its end.
    const std::optional<PulseReport>& Last() const { return m_last; }

  private:
    int64_t m_pulses = 0;
    int64_t m_lost = 0;
    int64_t m_glitches = 0;
    int64_t m_frequencies = 0;
    int64_t m_frequencySum = 0;
    std::optional<int64_t> m_lowest;
    std::optional<int64_t> m_highest;
    std::optional<PulseReport> m_last;
};

// Periods of `length` aligned to the UTC clock (a ten-second period ends at :10, :20...):
// the index of the one a time falls in.
int64_t PeriodOf(int64_t unixNanoseconds, int64_t lengthNanoseconds);

}  // namespace cyclara::logger
