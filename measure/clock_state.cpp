#include "measure/clock_state.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace cyclara {

namespace {

constexpr int64_t kUnsynchronisedMarkerUs = 16'000'000;
constexpr double kDisciplinedPpm = 1.0;
constexpr double kCrystalPpm = 20.0;
constexpr double kSecondsADay = 86'400;

}  // namespace

ClockState KernelClockState(bool unsynchronisedFlag, int64_t maximumErrorUs,
                            double frequencyCorrectionPpm) {
    ClockState state;
    state.discipline = unsynchronisedFlag || maximumErrorUs >= kUnsynchronisedMarkerUs
                           ? ClockState::Discipline::kUnsynchronised
                           : ClockState::Discipline::kSynchronised;
    state.frequencyCorrectionPpm = frequencyCorrectionPpm;
    if (state.discipline == ClockState::Discipline::kSynchronised && maximumErrorUs >= 0) {
        state.maximumErrorUs = maximumErrorUs;
    }
    return state;
}

std::optional<double> OffsetBoundSeconds(const ClockState& state) {
    if (state.reference || state.discipline != ClockState::Discipline::kSynchronised ||
        !state.maximumErrorUs) {
        return std::nullopt;
    }
    return static_cast<double>(*state.maximumErrorUs) / 1e6;
}

double DriftSeconds(double rateErrorPpm, double spanSeconds,
                    std::optional<double> offsetBoundSeconds) {
    const double drift = rateErrorPpm * 1e-6 * spanSeconds;
    return offsetBoundSeconds ? std::min(drift, std::sqrt(2.0 / 3.0) * *offsetBoundSeconds)
                              : drift;
}

double RateErrorPpm(const ClockState& state) {
    if (state.reference) {
        return state.reference->uncertaintyPpm;
    }
    // A recording's readings carry whatever clock made them; none of ours adds to them.
    if (state.discipline == ClockState::Discipline::kNotMeasured) {
        return 0;
    }
    if (state.discipline != ClockState::Discipline::kSynchronised) {
        return kCrystalPpm;
    }
    return state.rateErrorPpm.value_or(kDisciplinedPpm);
}

const char* DisciplineName(ClockState::Discipline discipline) {
    switch (discipline) {
        case ClockState::Discipline::kSynchronised:
            return "synchronised";
        case ClockState::Discipline::kNeverDisciplined:
            return "never disciplined";
        case ClockState::Discipline::kNotMeasured:
            return "not measured";
        case ClockState::Discipline::kUnsynchronised:
            break;
    }
    return "unsynchronised";
}

namespace {
constexpr const char* kSlewing = "slewing";
constexpr const char* kReference = "reference";
}  // namespace

const char* ClockWord(const ClockState& state) {
    if (state.reference) {
        return kReference;
    }
    return state.slewing && state.discipline == ClockState::Discipline::kSynchronised
               ? kSlewing
               : DisciplineName(state.discipline);
}

std::vector<std::string> ClockWords() {
    using Discipline = ClockState::Discipline;
    return {kReference, DisciplineName(Discipline::kSynchronised), kSlewing,
            DisciplineName(Discipline::kUnsynchronised),
            DisciplineName(Discipline::kNeverDisciplined), DisciplineName(Discipline::kNotMeasured)};
}

bool SlewWatch::Sample(int64_t rawNs, int64_t disciplinedNs) {
    const std::optional<int64_t> lastRaw = std::exchange(m_lastRaw, rawNs);
    const int64_t lastDisciplined = std::exchange(m_lastDisciplined, disciplinedNs);
    if (!lastRaw || rawNs <= *lastRaw) {
        return false;
    }
    const double ppm = (static_cast<double>(disciplinedNs - lastDisciplined) /
                            static_cast<double>(rawNs - *lastRaw) -
                        1.0) *
                       1e6;
    const double seconds = static_cast<double>(rawNs - *lastRaw) / 1e9;
    const double average = m_averagePpm.value_or(ppm);
    const bool departs = std::fabs(ppm - average) > kSlewPpm;
    m_departedSeconds = departs ? m_departedSeconds + seconds : 0;
    if (!departs || m_departedSeconds >= kSettledSeconds) {
        const bool settled = m_departedSeconds >= kSettledSeconds;
        m_averagePpm = settled ? ppm
                               : average + (ppm - average) *
                                               std::min(1.0, seconds / kAverageSeconds);
        m_departedSeconds = 0;
        m_departurePpm = 0;
        return false;
    }
    m_departurePpm = ppm - average;
    return true;
}

std::string DescribeClock(const ClockState& state, int nominal) {
    const double ppm = RateErrorPpm(state);
    const int hertz = nominal != 0 ? nominal : 50;
    const std::optional<double> bound = OffsetBoundSeconds(state);
    char day[120];
    std::snprintf(day, sizeof day, "up to %.3g mHz at %d Hz and %.3g s of grid time a day",
                  hertz * ppm * 1e-3, hertz, DriftSeconds(ppm, kSecondsADay, bound));
    std::string cost = day;
    if (bound) {
        char most[120];
        std::snprintf(most, sizeof most,
                      ", never more than %.3g s however long it runs (within %.3g ms of UTC)",
                      DriftSeconds(ppm, std::numeric_limits<double>::infinity(), bound),
                      *bound * 1e3);
        cost += most;
    }
    char text[512];
    switch (state.discipline) {
        case ClockState::Discipline::kSynchronised:
            std::snprintf(text, sizeof text,
                          "synchronised, frequency correction %+.3f ppm, rate error %s%.3g ppm "
                          "(%s): %s",
                          state.frequencyCorrectionPpm, state.rateErrorPpm ? "" : "about ",
                          ppm, state.rateErrorPpm ? state.estimatedBy.c_str() : "assumed",
                          cost.c_str());
            break;
        case ClockState::Discipline::kUnsynchronised:
            std::snprintf(text, sizeof text,
                          "not synchronised: the counter runs at its crystal's own rate, "
                          "typically within %.0f ppm: %s; synchronise it (systemd-timesyncd "
                          "or chrony)",
                          ppm, cost.c_str());
            break;
        case ClockState::Discipline::kNeverDisciplined:
            std::snprintf(text, sizeof text,
                          "the performance counter, which no time service disciplines, "
                          "typically within %.0f ppm: %s",
                          ppm, cost.c_str());
            break;
        case ClockState::Discipline::kNotMeasured:
            std::snprintf(text, sizeof text, "not measured: a recording's times are its own");
            break;
    }
    return text;
}

}  // namespace cyclara
