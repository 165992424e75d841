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

  private:
    struct Point {
        int64_t unixNs;
        double hertz;
        double gridTimeSeconds;
    };
    std::deque<Point> m_points;
};

}  // namespace cyclara::logger
