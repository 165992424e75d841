#include "grid/timestamp_noise.h"

#include <cmath>

namespace cyclara {

void TimestampNoise::AddSecond(int64_t intervalTicks) {
    if (m_last) {
        const double difference = static_cast<double>(intervalTicks - *m_last);
        m_squares.push_back(difference * difference);
        m_sum += m_squares.back();
        if (m_squares.size() > kWindow) {
            m_sum -= m_squares.front();
            m_squares.pop_front();
        }
    }
    m_last = intervalTicks;
}

std::optional<double> TimestampNoise::SigmaSeconds(int64_t frequency) const {
    if (m_squares.size() < kFewest || frequency <= 0) {
        return std::nullopt;
    }
    // Summed and subtracted as they come and go, the total can drift below zero by rounding.
    const double meanSquare = std::fmax(m_sum, 0.0) / static_cast<double>(m_squares.size());
    return std::sqrt(meanSquare / 6.0) / static_cast<double>(frequency);
}

// A one-second interval carries two timestamps' noise; the mean and the grid time carry only
// their two ends', which the span divides for the mean; the rate error scales the frequency
// and accumulates in the grid time.
Uncertainty UncertaintyOf(double sigmaSeconds, double rateErrorPpm, int nominal, int64_t seconds) {
    const double rate = rateErrorPpm * 1e-6;
    const double ends = std::sqrt(2.0) * sigmaSeconds;
    const double span = static_cast<double>(seconds > 0 ? seconds : 1);
    return {nominal * std::hypot(ends, rate), nominal * std::hypot(ends / span, rate),
            std::hypot(ends, rate * span)};
}

}  // namespace cyclara
