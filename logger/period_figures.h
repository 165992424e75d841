// What the pulses of a period showed, for the outputs that tell a period rather than a pulse:
// the journal's summary, Home Assistant's state, the statistics files and the live page's day.
#pragma once

#include "grid/grid_bands.h"
#include "grid/pulse_report.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace cyclara::logger {

class PeriodFigures {
  public:
    // `bands`: those whose outside seconds are counted; `standardRangeHz`: the grid's standard
    // frequency range's half width, none where its operators define none.
    explicit PeriodFigures(std::vector<Band> bands = {},
                           std::optional<double> standardRangeHz = std::nullopt)
        : m_bands(std::move(bands)), m_standardRangeHz(standardRangeHz) {
        m_outsideBands.assign(m_bands.size(), 0);
    }

    void Add(const PulseReport& report);

    int64_t Pulses() const { return m_pulses; }
    int64_t Lost() const { return m_lost; }
    // Seconds of a gap in the measurement (the device away, a stop) that fell in this period.
    void AddSecondsAway(int64_t seconds) { m_away += seconds; }
    // The seconds that have no reading: pulses lost inside intervals, and the seconds away.
    int64_t SecondsWithoutReading() const { return m_lost + m_away; }
    int64_t Glitches() const { return m_glitches; }
    int64_t Readings() const { return m_frequencies; }
    // In units of 0.00001 Hz, over the period's one-second frequencies; none without one.
    std::optional<int64_t> Lowest() const { return m_lowest; }
    std::optional<int64_t> Highest() const { return m_highest; }
    std::optional<int64_t> Mean() const;
    int64_t LowestNs() const { return m_lowestNs; }
    int64_t HighestNs() const { return m_highestNs; }
    // Of the one-second frequencies, in hertz; none below two.
    std::optional<double> StandardDeviationHz() const;
    // Seconds, and whole UTC minutes by their mean, outside the standard frequency range;
    // none for a grid without one.
    std::optional<int64_t> SecondsOutsideStandardRange() const;
    std::optional<int64_t> MinutesOutsideStandardRange() const;
    const std::vector<Band>& Bands() const { return m_bands; }
    const std::vector<int64_t>& SecondsOutsideBands() const { return m_outsideBands; }
    // The last measured pulse's report, for what a period tells at its end.
    const std::optional<PulseReport>& Last() const { return m_last; }

  private:
    void AddReading(int64_t frequency, int64_t unixNs);
    bool OutsideStandardRange(double hertz) const;

    std::vector<Band> m_bands;
    std::optional<double> m_standardRangeHz;
    int m_nominalHz = 0;  // as the readings' records say
    int64_t m_pulses = 0;
    int64_t m_lost = 0;
    int64_t m_away = 0;
    int64_t m_glitches = 0;
    int64_t m_frequencies = 0;
    int64_t m_frequencySum = 0;
    double m_meanHz = 0;   // running, for the deviations' squares (Welford's)
    double m_squares = 0;
    std::optional<int64_t> m_lowest;
    std::optional<int64_t> m_highest;
    int64_t m_lowestNs = 0;
    int64_t m_highestNs = 0;
    int64_t m_outside = 0;
    std::vector<int64_t> m_outsideBands;
    // The UTC minute being summed, and the minutes before it whose mean was outside.
    int64_t m_minute = -1;
    int64_t m_minuteSum = 0;
    int64_t m_minuteReadings = 0;
    int64_t m_minutesOutside = 0;
    std::optional<PulseReport> m_last;
};

// Periods of `length` aligned to the UTC clock (a ten-second period ends at :10, :20...):
// the index of the one a time falls in.
int64_t PeriodOf(int64_t unixNanoseconds, int64_t lengthNanoseconds);

}  // namespace cyclara::logger
