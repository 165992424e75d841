#include "grid/rate_watch.h"

#include "measure/time_spans.h"

namespace cyclara {

namespace {

// Fewer readings than this in a window (pulses lost, the device away) make no slope.
constexpr size_t kFewestReadings = 4;

}  // namespace

// Two windows beyond confirm it, and the minimum of 2 s asks no more.
RateWatch::RateWatch(double limitHzPerSecond)
    : m_watch(Band{"rate of change", -limitHzPerSecond, limitHzPerSecond, 2, "Hz/s"}) {}

BandWatch::Change RateWatch::Reading(double hertz, int64_t unixNs) {
    m_readings.emplace_back(unixNs, hertz);
    while (unixNs - m_readings.front().first >= kWindowSeconds * kSecondNs) {
        m_readings.pop_front();
    }
    const std::optional<double> slope = Slope();
    if (!slope) {
        m_watch.NoReading();
        return BandWatch::Change::kNone;
    }
    return m_watch.Reading(*slope, unixNs);
}

std::optional<double> RateWatch::Slope() const {
    if (m_readings.size() < kFewestReadings) {
        return std::nullopt;
    }
    double meanT = 0, meanF = 0;
    for (const auto& [ns, hertz] : m_readings) {
        meanT += static_cast<double>(ns - m_readings.front().first) / 1e9;
        meanF += hertz;
    }
    meanT /= static_cast<double>(m_readings.size());
    meanF /= static_cast<double>(m_readings.size());
    double covariance = 0, variance = 0;
    for (const auto& [ns, hertz] : m_readings) {
        const double t = static_cast<double>(ns - m_readings.front().first) / 1e9 - meanT;
        covariance += t * (hertz - meanF);
        variance += t * t;
    }
    return covariance / variance;
}

}  // namespace cyclara
