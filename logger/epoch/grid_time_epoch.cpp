#include "logger/epoch/grid_time_epoch.h"

#include "logger/record/record_layout.h"
#include "measure/wall_clock.h"

#include <cmath>

namespace cyclara::logger {

namespace {

bool StartsRun(const PulseFigures& figures) {
    return figures.kind == PulseFigures::Kind::kReference ||
           figures.kind == PulseFigures::Kind::kCounterBack;
}

bool IsCounted(const PulseFigures& figures) {
    return figures.kind == PulseFigures::Kind::kMeasured ||
           figures.kind == PulseFigures::Kind::kIrregular;
}

}  // namespace

GridTimeEpoch::GridTimeEpoch(std::optional<EpochState> stored) : m_state(std::move(stored)) {}

std::string GridTimeEpoch::Apply(PulseReport& report) {
    if (!report.figures) {
        return "";
    }
    PulseFigures& figures = *report.figures;
    const std::string bridged = StartsRun(figures) ? Bridge(report) : "";
    figures.gridTimeDeviationUs += m_runOffsetUs;
    if (IsCounted(figures) && m_state) {
        m_history.Add(report.unixNanoseconds, figures.gridTimeDeviationUs);
        m_state->lastUnixNs = report.unixNanoseconds;
        m_state->lastDeviationUs = figures.gridTimeDeviationUs;
        if (figures.meanFrequency) {
            m_state->lastMeanHz = static_cast<double>(*figures.meanFrequency) / 1e5;
            m_state->nominal = NominalNear(m_state->lastMeanHz);
        }
    }
    report.gridTimeSinceNs = m_state ? m_state->sinceUnixNs : 0;
    report.gridTimeAnchoredNs = m_state ? m_state->anchoredUnixNs : 0;
    return bridged;
}

std::string GridTimeEpoch::Bridge(const PulseReport& report) {
    if (!m_state || m_state->nominal == 0) {
        return NewEpoch(report, "new epoch");
    }
    if (report.clock.discipline != ClockState::Discipline::kSynchronised) {
        return NewEpoch(report, "new epoch: the clock is not synchronised");
    }
    const int64_t gapNs = report.unixNanoseconds - m_state->lastUnixNs;
    const double gapSeconds = static_cast<double>(gapNs) / 1e9;
    if (gapNs <= 0 || gapSeconds * kWanderHz / m_state->nominal > kResolvableSeconds) {
        return NewEpoch(report, "new epoch: a gap of " + std::to_string(std::llround(gapSeconds)) +
                                    " s is too long to count its seconds");
    }
    // The device counted a whole number of seconds over the gap: the one nearest to what the
    // mean frequency before it would have counted.
    const int64_t counted = std::llround(gapSeconds * m_state->lastMeanHz / m_state->nominal);
    m_runOffsetUs = m_state->lastDeviationUs + counted * 1'000'000 - (gapNs + 500) / 1000;
    return "bridged " + std::to_string(std::llround(gapSeconds)) + " s";
}

std::string GridTimeEpoch::NewEpoch(const PulseReport& report, const std::string& why) {
    const int nominal = m_state ? m_state->nominal : 0;
    m_state = EpochState{report.unixNanoseconds, report.unixNanoseconds, 0, 0.0, nominal, 0};
    m_runOffsetUs = 0;
    m_history.Clear();
    return why;
}

std::string GridTimeEpoch::ApplyAnchor(PulseReport& report) {
    if (!m_anchor || !report.figures || !IsCounted(*report.figures) || !m_state) {
        return "";
    }
    const GridTimeAnchor anchor = *m_anchor;
    const std::optional<int64_t> oldest = m_history.Oldest();
    if (oldest && anchor.atUnixNs < *oldest) {
        m_anchor.reset();
        return std::string(record_event::kGridTimeAnchorRefused) + ": " + FormatUtc(anchor.atUnixNs) +
               " lies before the oldest reading held (" + FormatUtc(*oldest) +
               "; an hour of this epoch at most)";
    }
    const std::optional<int64_t> ours = m_history.At(anchor.atUnixNs);
    if (!ours) {
        return "";  // its moment is still to come
    }
    m_anchor.reset();
    const int64_t moved = anchor.deviationUs - *ours;
    m_runOffsetUs += moved;
    m_history.Shift(moved);
    report.figures->gridTimeDeviationUs += moved;
    m_state->lastDeviationUs = report.figures->gridTimeDeviationUs;
    m_state->anchoredUnixNs = report.gridTimeAnchoredNs = anchor.atUnixNs;
    return std::string(record_event::kGridTimeAnchored) + ": " + FormatSignedSeconds(anchor.deviationUs) + " s at " +
           FormatUtc(anchor.atUnixNs) + "; moved by " + FormatSignedSeconds(moved) + " s";
}

}  // namespace cyclara::logger
