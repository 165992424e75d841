#include "grid/timestamp_noise.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace cyclara {

namespace {

// A normal distribution's s.d. is this many times its median absolute deviation.
constexpr double kNormalSdPerMad = 1.4826;

double Median(std::vector<double>& values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

}  // namespace

void TimestampNoise::AddSecond(int64_t intervalTicks) {
    if (m_last) {
        m_differences.push_back(static_cast<double>(intervalTicks - *m_last));
        if (m_differences.size() > kWindow) {
            m_differences.pop_front();
        }
    }
    m_last = intervalTicks;
}

std::optional<double> TimestampNoise::SigmaSeconds(int64_t frequency) const {
    if (m_differences.size() < kFewest || frequency <= 0) {
        return std::nullopt;
    }
    std::vector<double> values(m_differences.begin(), m_differences.end());
    const double median = Median(values);
    for (double& value : values) {
        value = std::fabs(value - median);
    }
    const double differenceSd = kNormalSdPerMad * Median(values);
    return differenceSd / std::sqrt(6.0) / static_cast<double>(frequency);
}

// A one-second interval carries two timestamps' noise; the mean and the grid time carry only
// their two ends', which the span divides for the mean; the rate error scales the frequency
// and accumulates in the grid time over its epoch, as far as the clock lets it drift.
Uncertainty UncertaintyOf(double sigmaSeconds, double rateErrorPpm, int nominal, int64_t seconds,
                          int64_t epochSeconds, std::optional<double> offsetBoundSeconds) {
    const double rate = rateErrorPpm * 1e-6;
    const double ends = std::sqrt(2.0) * sigmaSeconds;
    const double span = static_cast<double>(seconds > 0 ? seconds : 1);
    const double epoch = std::max(span, static_cast<double>(epochSeconds));
    return {nominal * std::hypot(ends, rate), nominal * std::hypot(ends / span, rate),
            std::hypot(ends, DriftSeconds(rateErrorPpm, epoch, offsetBoundSeconds))};
}

}  // namespace cyclara
