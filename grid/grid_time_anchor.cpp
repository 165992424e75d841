#include "grid/grid_time_anchor.h"

#include <algorithm>
#include <cmath>

namespace cyclara {

void DeviationHistory::Add(int64_t unixNs, int64_t deviationUs) {
    if (!m_points.empty() && unixNs <= m_points.back().first) {
        m_points.clear();  // the wall clock stepped back: what was held no longer lines up
    }
    m_points.emplace_back(unixNs, deviationUs);
    while (unixNs - m_points.front().first > kSpanNs) {
        m_points.pop_front();
    }
}

void DeviationHistory::Shift(int64_t us) {
    for (auto& point : m_points) {
        point.second += us;
    }
}

std::optional<int64_t> DeviationHistory::At(int64_t unixNs) const {
    const auto after = std::lower_bound(
        m_points.begin(), m_points.end(), unixNs,
        [](const std::pair<int64_t, int64_t>& point, int64_t ns) { return point.first < ns; });
    if (after == m_points.end()) {
        return std::nullopt;
    }
    if (after->first == unixNs) {
        return after->second;
    }
    if (after == m_points.begin()) {
        return std::nullopt;
    }
    const auto before = std::prev(after);
    const double share = static_cast<double>(unixNs - before->first) /
                         static_cast<double>(after->first - before->first);
    return before->second +
           std::llround(share * static_cast<double>(after->second - before->second));
}

std::optional<int64_t> DeviationHistory::Oldest() const {
    return m_points.empty() ? std::nullopt : std::optional(m_points.front().first);
}

}  // namespace cyclara
