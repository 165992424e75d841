#include "logger/epoch/grid_time_anchor.h"

#include "logger/record/record_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace cyclara::logger {

std::optional<GridTimeAnchor> ParseGridTimeAnchor(const std::string& text) {
    const size_t at = text.find('@');
    if (at == std::string::npos) {
        return std::nullopt;
    }
    double seconds = 0;
    const char* first = text.data();
    const auto [end, error] = std::from_chars(first + (text[0] == '+' ? 1 : 0), first + at,
                                              seconds);
    if (error != std::errc() || end != first + at || !std::isfinite(seconds)) {
        return std::nullopt;
    }
    std::string utc = text.substr(at + 1);
    if (utc.find('.') == std::string::npos && !utc.empty() && utc.back() == 'Z') {
        utc.insert(utc.size() - 1, ".000000");
    }
    const std::optional<int64_t> milliseconds = ParseUtc(utc);
    if (!milliseconds) {
        return std::nullopt;
    }
    return GridTimeAnchor{std::llround(seconds * 1e6), *milliseconds * 1'000'000};
}

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

}  // namespace cyclara::logger
