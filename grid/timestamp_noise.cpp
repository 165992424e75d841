#include "grid/timestamp_noise.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace cyclara {

namespace {

// A normal distribution's s.d. is this many times its median absolute deviation.
constexpr double kNormalSdPerMad = 1.4826;

// The median absolute deviation of `sorted` about its element at `middle` (the median, the
// upper one of an even count): the deviations below it and above it each grow outward from
// it, so the one at rank `middle` among all is found by merging the two for that many steps.
double MedianAbsoluteDeviation(const std::vector<double>& sorted, size_t middle) {
    const double median = sorted[middle];
    size_t below = middle;  // the next below, plus one
    size_t above = middle;  // the next above or at
    double deviation = 0;
    for (size_t rank = 0; rank <= middle; ++rank) {
        const bool takeBelow =
            above == sorted.size() ||
            (below > 0 && median - sorted[below - 1] < sorted[above] - median);
        deviation = takeBelow ? median - sorted[--below] : sorted[above++] - median;
    }
    return deviation;
}

}  // namespace

void TimestampNoise::AddSecond(int64_t intervalTicks) {
    if (m_last) {
        const double difference = static_cast<double>(intervalTicks - *m_last);
        m_differences.push_back(difference);
        m_sorted.insert(std::upper_bound(m_sorted.begin(), m_sorted.end(), difference),
                        difference);
        if (m_differences.size() > kWindow) {
            m_sorted.erase(std::lower_bound(m_sorted.begin(), m_sorted.end(),
                                            m_differences.front()));
            m_differences.pop_front();
        }
        if (m_differences.size() >= kFewest) {
            m_secondDifferenceSdTicks =
                kNormalSdPerMad * MedianAbsoluteDeviation(m_sorted, m_sorted.size() / 2);
        }
    }
    m_last = intervalTicks;
}

std::optional<double> TimestampNoise::SigmaSeconds(int64_t frequency) const {
    if (m_differences.size() < kFewest || frequency <= 0) {
        return std::nullopt;
    }
    return *SecondDifferenceSdTicks() / std::sqrt(6.0) / static_cast<double>(frequency);
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
