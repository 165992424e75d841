// The rate of change of frequency as an event. At one reading a second, the difference of two
// readings is mostly the readings' own noise and artefacts (a cycle miscounted by the device
// reads 1 Hz off for one second: 1 Hz/s up and down), so the rate is the least-squares slope
// of the readings of the last kWindowSeconds, and it must stay beyond the limit for three
// windows in a row: a one-cycle slip moves a 5-s slope by 0.2 Hz/s for one window and half
// that for the next, never three. A real loss of generation holds its rate for seconds.
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
