#include "measure/reference_rate.h"

#include "measure/tick_scaling.h"

#include <cmath>
#include <cstdlib>

namespace cyclara {

ReferenceSeconds::ReferenceSeconds(int64_t counterFrequency)
    : m_counterFrequency(counterFrequency) {}

int64_t ReferenceSeconds::Milliseconds(int64_t ticks) const {
    return ScaleTicks(ticks, m_counterFrequency, 1000);
}

void ReferenceSeconds::OnRise(int64_t ticks) {
    if (m_edges.empty()) {
        m_edges.emplace_back(0, ticks);
        return;
    }
    const auto [lastSecond, lastTicks] = m_edges.back();
    const int64_t milliseconds = Milliseconds(ticks - lastTicks);
    if (milliseconds < kShortestMilliseconds) {
        return;
    }
    const int64_t whole = (milliseconds + 500) / 1000;
    if (std::llabs(milliseconds - whole * 1000) > kNearMilliseconds) {
        m_edges.clear();
        m_edges.emplace_back(0, ticks);
        return;
    }
    m_edges.emplace_back(lastSecond + whole, ticks);
    while (m_edges.back().first - m_edges.front().first > kWindowSeconds) {
        m_edges.pop_front();
    }
}

std::optional<ReferenceRate> ReferenceSeconds::RateAt(int64_t ticks) const {
    if (m_edges.size() < kFewestEdges ||
        Milliseconds(ticks - m_edges.back().second) > kLostAfterMilliseconds) {
        return std::nullopt;
    }
    // Relative to the first edge, so the sums keep their precision in a double.
    const auto [firstSecond, firstTicks] = m_edges.front();
    const double count = static_cast<double>(m_edges.size());
    double meanX = 0;
    double meanY = 0;
    for (const auto& [second, at] : m_edges) {
        meanX += static_cast<double>(second - firstSecond) / count;
        meanY += static_cast<double>(at - firstTicks) / count;
    }
    double sxx = 0;
    double sxy = 0;
    for (const auto& [second, at] : m_edges) {
        const double x = static_cast<double>(second - firstSecond) - meanX;
        sxx += x * x;
        sxy += x * (static_cast<double>(at - firstTicks) - meanY);
    }
    const double slope = sxy / sxx;
    double squares = 0;
    for (const auto& [second, at] : m_edges) {
        const double fitted = meanY + slope * (static_cast<double>(second - firstSecond) - meanX);
        const double residual = static_cast<double>(at - firstTicks) - fitted;
        squares += residual * residual;
    }
    const double slopeError = std::sqrt(squares / (count - 2) / sxx);
    const double frequency = static_cast<double>(m_counterFrequency);
    return ReferenceRate{slope, (slope / frequency - 1) * 1e6, slopeError / slope * 1e6};
}

}  // namespace cyclara
