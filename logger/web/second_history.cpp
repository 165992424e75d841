#include "logger/web/second_history.h"

#include <algorithm>

namespace cyclara::logger {

void SecondHistory::Add(int64_t unixNs, double hertz, double gridTimeSeconds) {
    if (m_points.size() == kLimit) {
        m_points.pop_front();
    }
    m_points.push_back({unixNs, hertz, gridTimeSeconds});
}

nlohmann::json SecondHistory::Since(int64_t minutes, int64_t nowNs) const {
    const int64_t fromNs = nowNs - minutes * 60'000'000'000;
    const auto first = std::partition_point(m_points.begin(), m_points.end(),
                                            [fromNs](const Point& p) { return p.unixNs < fromNs; });
    nlohmann::json times = nlohmann::json::array();
    nlohmann::json hertz = nlohmann::json::array();
    nlohmann::json gridTime = nlohmann::json::array();
    for (auto point = first; point != m_points.end(); ++point) {
        times.push_back(static_cast<double>(point->unixNs) / 1e9);
        hertz.push_back(point->hertz);
        gridTime.push_back(point->gridTimeSeconds);
    }
    return {{"utc_s", times}, {"frequency_hz", hertz}, {"grid_time_deviation_s", gridTime}};
}

}  // namespace cyclara::logger
