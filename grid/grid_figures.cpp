#include "grid/grid_figures.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace cyclara {

namespace {

std::string WithDecimals(int64_t whole, int64_t fraction, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%lld.%0*lld", static_cast<long long>(whole), decimals,
                  static_cast<long long>(fraction));
    return text;
}

}  // namespace

GridClock::GridClock(int64_t counterFrequency) : m_counterFrequency(counterFrequency) {}

void GridClock::SetNominal(int hertz) {
    if (hertz == 50 || hertz == 60) {
        m_nominal = hertz;
    }
}

PulseFigures GridClock::OnPulse(int64_t ticks) {
    if (!m_started) {
        m_started = true;
        return StartFrom(ticks, PulseFigures::Kind::kReference);
    }
    const int64_t interval = ticks - m_last;
    if (interval <= 0) {
        return StartFrom(ticks, PulseFigures::Kind::kCounterBack);
    }
    const int64_t milliseconds = ScaleTicks(interval, m_counterFrequency, 1000);
    if (static_cast<double>(interval) * kFastestOfNominal <
        static_cast<double>(m_counterFrequency)) {
        return Skip(ticks);
    }
    const int64_t whole = milliseconds < 1500 ? 1 : (milliseconds + 500) / 1000;
    const bool near = CanBeSeconds(interval, milliseconds, whole);
    const double correction = ReferenceCorrection(interval);
    const int slip = near && whole == 1 ? SlipOf(interval, correction) : 0;
    m_seconds += whole;
    m_slipCycles += slip;
    m_last = ticks;
    // A slipped second's interval is a cycle long or short: no sample of the timestamps' noise.
    if (near && whole == 1 && slip == 0) {
        m_noise.AddSecond(interval);
    } else {
        m_noise.Break();
    }
    PulseFigures figures;
    figures.kind = near ? PulseFigures::Kind::kMeasured : PulseFigures::Kind::kIrregular;
    figures.seconds = m_seconds;
    figures.slipCycles = slip;
    figures.intervalTicks = interval;
    figures.lost = near ? whole - 1 : 0;
    m_correctionSeconds += correction;
    // An irregular interval is no measure of the frequency; the mean and the grid time take
    // it as the nearest whole number of seconds.
    figures.frequencyTenMicroHz =
        near ? ReadingOf(Cycles(whole, slip), interval, correction) : std::nullopt;
    figures.meanFrequencyTenMicroHz =
        ReadingOf(Cycles(m_seconds, m_slipCycles), ticks - m_reference, m_correctionSeconds);
    const int64_t slipUs = m_nominal == 0 ? 0 : m_slipCycles * 1'000'000 / m_nominal;
    figures.gridTimeDeviationUs =
        m_seconds * 1'000'000 + slipUs -
        ScaleTicks(ticks - m_reference, m_counterFrequency, 1'000'000) -
        std::llround(m_correctionSeconds * 1e6);
    figures.timestampNoiseSeconds = m_noise.SigmaSeconds(m_counterFrequency);
    if (near && whole == 1 && figures.frequencyTenMicroHz) {
        m_recentTenMicroHz.push_back(*figures.frequencyTenMicroHz);
        if (m_recentTenMicroHz.size() > 2) {
            m_recentTenMicroHz.erase(m_recentTenMicroHz.begin());
        }
    } else {
        m_recentTenMicroHz.clear();
    }
    m_latest = figures;
    return figures;
}

PulseFigures GridClock::Skip(int64_t ticks) const {
    PulseFigures glitch = m_latest;
    glitch.kind = PulseFigures::Kind::kGlitch;
    glitch.intervalTicks = ticks - m_last;
    glitch.lost = 0;
    glitch.frequencyTenMicroHz.reset();
    return glitch;
}

bool GridClock::MayBeTheNextSecond(int64_t ticks) const {
    const int64_t interval = ticks - m_last;
    return m_started && interval > 0 &&
           CanBeSeconds(interval, ScaleTicks(interval, m_counterFrequency, 1000), 1);
}

bool GridClock::WantsTheNextEdge(int64_t ticks) const {
    if (!MayBeTheNextSecond(ticks)) {
        return false;
    }
    const double scatterTicks = m_noise.SecondDifferenceSdTicks().value_or(0.0);
    const int64_t early = ExpectedIntervalTicks() - (ticks - m_last);
    return static_cast<double>(early) > kEarlyBeyondScatter * scatterTicks;
}

bool GridClock::Nearer(int64_t ticks, int64_t otherTicks) const {
    const int64_t expected = m_last + ExpectedIntervalTicks();
    return std::llabs(ticks - expected) < std::llabs(otherTicks - expected);
}

int64_t GridClock::LastChanceTicks() const {
    return m_last + static_cast<int64_t>(static_cast<double>(m_counterFrequency) /
                                         kSlowestOfNominal) + 1;
}

int64_t GridClock::ExpectedIntervalTicks() const {
    if (m_recentTenMicroHz.empty() || m_nominal == 0) {
        return m_counterFrequency;
    }
    return std::llround(static_cast<double>(m_counterFrequency) * m_nominal *
                        kTenMicroHzPerHz / static_cast<double>(m_recentTenMicroHz.back()));
}

bool GridClock::CanBeSeconds(int64_t ticks, int64_t milliseconds, int64_t seconds) const {
    const double interval = static_cast<double>(ticks);
    const double nominal = static_cast<double>(seconds * m_counterFrequency);
    return interval * kFastestOfNominal >= nominal && interval * kSlowestOfNominal <= nominal &&
           std::llabs(milliseconds - seconds * 1000) <= kNearMilliseconds;
}

int64_t GridClock::Cycles(int64_t seconds, int64_t slipCycles) const {
    return seconds * m_nominal + slipCycles;
}

// Without a reference the counter's own seconds are exact integers, and kept so.
std::optional<int64_t> GridClock::ReadingOf(int64_t cycles, int64_t ticks,
                                            double correction) const {
    if (m_correctionSeconds == 0 && correction == 0) {
        return FrequencyOf(cycles, ticks);
    }
    return FrequencyOver(cycles,
                         static_cast<double>(ticks) / static_cast<double>(m_counterFrequency) +
                             correction);
}

int GridClock::SlipOf(int64_t ticks, double correction) const {
    if (m_nominal == 0 || m_recentTenMicroHz.size() < 2 ||
        std::llabs(m_recentTenMicroHz[0] - m_recentTenMicroHz[1]) > kAgreeingTenMicroHz) {
        return 0;
    }
    const int64_t expected = (m_recentTenMicroHz[0] + m_recentTenMicroHz[1]) / 2;
    for (const int slip : {+1, -1}) {
        const std::optional<int64_t> reading = ReadingOf(m_nominal + slip, ticks, correction);
        if (reading && std::llabs(*reading - expected) <= kAgreeingTenMicroHz) {
            return slip;
        }
    }
    return 0;
}

PulseFigures GridClock::StartFrom(int64_t ticks, PulseFigures::Kind kind) {
    m_reference = ticks;
    m_last = ticks;
    m_seconds = 0;
    m_slipCycles = 0;
    m_recentTenMicroHz.clear();
    m_correctionSeconds = 0;
    m_noise.Break();
    m_latest = PulseFigures{};
    m_latest.kind = kind;
    return m_latest;
}

// In double: nominal x 1e5 (10 uHz a hertz) x seconds x counter frequency overflows 64 bits within a day, and
// a double's 53 bits resolve the result to far below its 0.00001 Hz.
std::optional<int64_t> GridClock::FrequencyOf(int64_t cycles, int64_t ticks) const {
    if (m_nominal == 0) {
        return std::nullopt;
    }
    return std::llround(kTenMicroHzPerHz * static_cast<double>(cycles) *
                        static_cast<double>(m_counterFrequency) / static_cast<double>(ticks));
}

std::optional<int64_t> GridClock::FrequencyOver(int64_t cycles, double trueSeconds) const {
    if (m_nominal == 0) {
        return std::nullopt;
    }
    return std::llround(kTenMicroHzPerHz * static_cast<double>(cycles) / trueSeconds);
}

double GridClock::ReferenceCorrection(int64_t ticks) const {
    if (!m_ticksPerSecond) {
        return 0;
    }
    const double interval = static_cast<double>(ticks);
    return interval / *m_ticksPerSecond - interval / static_cast<double>(m_counterFrequency);
}

std::string FormatHertz(int64_t tenMicroHz) {
    return WithDecimals(tenMicroHz / 100'000, tenMicroHz % 100'000, 5);
}

std::string FormatSignedSeconds(int64_t microseconds) {
    const int64_t size = std::llabs(microseconds);
    return (microseconds < 0 ? "-" : "+") +
           WithDecimals(size / 1'000'000, size % 1'000'000, 6);
}

std::string FormatIntervalMicroseconds(int64_t ticks, int64_t counterFrequency) {
    int decimals = 0;
    int64_t unit = 1'000'000;
    while (decimals < 3 && counterFrequency >= unit * 10) {
        ++decimals;
        unit *= 10;
    }
    const int64_t scaled = ScaleTicks(ticks, counterFrequency, unit);
    int64_t divisor = 1;
    for (int i = 0; i < decimals; ++i) {
        divisor *= 10;
    }
    if (decimals == 0) {
        return std::to_string(scaled);
    }
    return WithDecimals(scaled / divisor, scaled % divisor, decimals);
}

}  // namespace cyclara
