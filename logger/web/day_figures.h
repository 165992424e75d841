// Today's figures as the grid operators publish theirs: the extremes with their UTC times, the
// mean and standard deviation of the one-second frequencies, the seconds outside the standard
// range, the lost pulses, and a histogram beside yesterday's.
#pragma once

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
    // The standard frequency range's half width (Continental Europe's, the narrowest).
    static constexpr double kStandardRangeHz = 0.05;

    // A one-second frequency at `unixNs` against `nominal` Hz; the first reading of a new UTC
    // day moves today's figures to yesterday's histogram.
    void Reading(double hertz, int nominal, int64_t unixNs);
    void Lost(int64_t pulses) { m_today.lost += pulses; }

    nlohmann::json Today() const;

  private:
    struct Day {
        int64_t date = -1;  // days since 1970-01-01, UTC
        int nominal = 0;
        int64_t readings = 0;
        double mean = 0;
        double squares = 0;  // of the deviations from the running mean (Welford)
        double lowest = 0, highest = 0;
        int64_t lowestNs = 0, highestNs = 0;
        int64_t outside = 0;
        int64_t lost = 0;
        std::vector<int64_t> bins = std::vector<int64_t>(kBins);
    };
    static int BinOf(double hertz, int nominal);

    Day m_today;
    Day m_yesterday;
};

}  // namespace cyclara::logger
