// The rate of change of frequency as an event: a mean rate over about five seconds, not the
// 500 ms RoCoF of the grid codes, which one reading a second cannot give. The difference of
// two readings is mostly their own noise, so the rate is the least-squares slope of the
// readings of the last kWindowSeconds, and it must stay beyond the limit for two windows in a
// row. The readings come with cycle slips counted and spurious edges taken out, so no artefact
// of the device moves two windows; a real loss of generation holds its rate for seconds.
#pragma once

#include "grid/band_watch.h"

#include <cstdint>
#include <deque>
#include <optional>

namespace cyclara {

class RateWatch {
  public:
    static constexpr int64_t kWindowSeconds = 5;
    // Well above the hour's schedule steps (a few mHz/s) and the slope's noise (under 1 mHz/s
    // at 20 us of timestamp noise); large losses of generation run at 0.1 to 1 Hz/s.
    static constexpr double kDefaultLimitHzPerSecond = 0.1;

    explicit RateWatch(double limitHzPerSecond = kDefaultLimitHzPerSecond);

    // As BandWatch's, with the slope in Hz/s as the excursion's figures.
    BandWatch::Change Reading(double hertz, int64_t unixNs);
    void NoReading() { m_watch.NoReading(); }
    const std::optional<Excursion>& Current() const { return m_watch.Current(); }

  private:
    std::optional<double> Slope() const;

    std::deque<std::pair<int64_t, double>> m_readings;  // the window's, oldest first
    BandWatch m_watch;
};

}  // namespace cyclara
