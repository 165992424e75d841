// When the grid leaves a band and comes back: an excursion confirmed by two readings in a row
// (a one-cycle slip, which reads about 1 Hz off for one second, is one reading), ended by two
// readings back inside by the hysteresis, and an event only once it has lasted the band's
// minimum.
#pragma once

#include "grid/grid_bands.h"

#include <cstdint>
#include <optional>
#include <string>

namespace cyclara {

// 2 mHz: past a good meter's one-second noise (1.4 mHz at 20 us), so a frequency hovering at
// the limit makes one event, not one a second.
inline constexpr double kHysteresisHz = 0.002;

struct Excursion {
    std::string band;
    double lowHz = 0;  // the band's limits
    double highHz = 0;
    int64_t startNs = 0;  // the first reading outside
    int64_t endNs = 0;    // the first reading back inside; 0 while it lasts
    double extremeHz = 0;
    int64_t extremeNs = 0;
    std::string unit = "Hz";  // of the limits and the extreme

    double Seconds(int64_t nowNs) const {
        return static_cast<double>((endNs != 0 ? endNs : nowNs) - startNs) / 1e9;
    }
};

class BandWatch {
  public:
    explicit BandWatch(Band band) : m_band(std::move(band)) {}

    enum class Change { kNone, kStarted, kEnded };

    // A one-second frequency at `unixNs`. kStarted once an excursion is confirmed and has lasted
    // the minimum; kEnded when such an excursion has ended.
    Change Reading(double hertz, int64_t unixNs);
    // A pulse that gives no reading (a lost pulse, an irregular interval, the device away)
    // breaks the confirmation of a change, never the excursion.
    void NoReading() { m_pending.reset(); }

    // The excursion under way, or the one just ended.
    const std::optional<Excursion>& Current() const { return m_current; }
    const Band& Of() const { return m_band; }

  private:
    bool Outside(double hertz) const { return hertz < m_band.lowHz || hertz > m_band.highHz; }
    bool BackInside(double hertz) const {
        return hertz >= m_band.lowHz + kHysteresisHz && hertz <= m_band.highHz - kHysteresisHz;
    }
    double Distance(double hertz) const;

    const Band m_band;
    std::optional<Excursion> m_current;
    bool m_told = false;  // its start was reported
    // A first reading that would change the state, waiting for a second.
    std::optional<std::pair<double, int64_t>> m_pending;
};

}  // namespace cyclara
