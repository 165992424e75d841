// Today's figures as the grid operators publish theirs (the extremes with their UTC times, the
// mean, the standard deviation, the seconds outside the standard range, the lost pulses) and a
// histogram of the one-second frequencies beside yesterday's.
#pragma once

#include "logger/period_figures.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <vector>

namespace cyclara::logger {

class DayFigures {
  public:
    // Histogram bins of 10 mHz from nominal - 0.5 Hz to nominal + 0.5 Hz; readings beyond
    // fall in the end bins.
    static constexpr int kBins = 101;
    static constexpr double kBinHz = 0.01;

    // The grid's standard frequency range, for the days from now on; none: it has none.
    void SetStandardRange(std::optional<double> halfWidthHz);
    // A measured pulse; the first of a new UTC day moves today's histogram to yesterday's.
    void Add(const PulseReport& report);
    nlohmann::json Today() const;

  private:
    int64_t m_date = -1;  // days since 1970-01-01, UTC
    int m_nominal = 50;
    std::optional<double> m_standardRangeHz;
    PeriodFigures m_today;
    std::vector<int64_t> m_bins = std::vector<int64_t>(kBins);
    std::vector<int64_t> m_yesterdayBins;  // empty when yesterday was not seen
};

}  // namespace cyclara::logger
