// The last day's one-second readings, in memory: 86,400 points of 24 bytes, about 2 MB, the
// oldest dropped as new ones come.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <nlohmann/json.hpp>

namespace cyclara::logger {

class SecondHistory {
  public:
    static constexpr size_t kLimit = 86'400;

    void Add(int64_t unixNs, double hertz, double gridTimeSeconds);
    // {"utc_s": [...], "frequency_hz": [...], "grid_time_deviation_s": [...]}: the readings
    // of the last `minutes` before `nowNs`, as columns, the way charts take them.
    nlohmann::json Since(int64_t minutes, int64_t nowNs) const;
    // The last `hours` before `nowNs` as UTC minutes, for a day's view: columns "utc_s" (each
    // minute's start), "lowest_hz", "mean_hz", "highest_hz" and "grid_time_deviation_s" (the
    // minute's last).
    nlohmann::json Minutes(int64_t hours, int64_t nowNs) const;

  private:
    struct Point;
    std::deque<Point>::const_iterator From(int64_t fromNs) const;

    struct Point {
        int64_t unixNs;
        double hertz;
        double gridTimeSeconds;
    };
    std::deque<Point> m_points;
};

}  // namespace cyclara::logger
