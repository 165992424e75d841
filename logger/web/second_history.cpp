#include "logger/web/second_history.h"

#include "measure/time_spans.h"

#include <algorithm>

namespace cyclara::logger {

void SecondHistory::Add(int64_t unixNs, double hertz, double gridTimeSeconds) {
    if (m_points.size() == kLimit) {
        m_points.pop_front();
    }
    m_points.push_back({unixNs, hertz, gridTimeSeconds});
}

std::deque<SecondHistory::Point>::const_iterator SecondHistory::From(int64_t fromNs) const {
    return std::partition_point(m_points.begin(), m_points.end(),
                                [fromNs](const Point& p) { return p.unixNs < fromNs; });
}

nlohmann::json SecondHistory::Since(int64_t minutes, int64_t nowNs) const {
    const auto first = From(nowNs - minutes * kMinuteNs);
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

nlohmann::json SecondHistory::Minutes(int64_t hours, int64_t nowNs) const {
    nlohmann::json columns = {{"utc_s", nlohmann::json::array()},
                              {"lowest_hz", nlohmann::json::array()},
                              {"mean_hz", nlohmann::json::array()},
                              {"highest_hz", nlohmann::json::array()},
                              {"grid_time_deviation_s", nlohmann::json::array()}};
    auto point = From(nowNs - hours * 60 * kMinuteNs);
    while (point != m_points.end()) {
        const int64_t minute = point->unixNs / kMinuteNs;
        double lowest = point->hertz, highest = point->hertz, sum = 0;
        int readings = 0;
        double gridTime = 0;
        for (; point != m_points.end() && point->unixNs / kMinuteNs == minute; ++point) {
            lowest = std::min(lowest, point->hertz);
            highest = std::max(highest, point->hertz);
            sum += point->hertz;
            ++readings;
            gridTime = point->gridTimeSeconds;
        }
        columns["utc_s"].push_back(static_cast<double>(minute * 60));
        columns["lowest_hz"].push_back(lowest);
        columns["mean_hz"].push_back(sum / readings);
        columns["highest_hz"].push_back(highest);
        columns["grid_time_deviation_s"].push_back(gridTime);
    }
    return columns;
}

}  // namespace cyclara::logger
