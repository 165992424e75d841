#include "grid/grid_time_epoch.h"

#include "measure/time_spans.h"

#include <cmath>
#include <utility>

namespace cyclara {

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

GridTimeEpoch::GridTimeEpoch(std::optional<EpochState> stored, bool storedDamaged)
    : m_state(std::move(stored)), m_storedDamaged(storedDamaged && !m_state) {}

RunEvent GridTimeEpoch::Apply(PulseReport& report) {
    if (!report.figures) {
        return {};
    }
    PulseFigures& figures = *report.figures;
    const RunEvent bridged = StartsRun(figures) ? Bridge(report) : RunEvent{};
    figures.gridTimeDeviationUs += m_runOffsetUs;
    if (IsCounted(figures) && m_state) {
        m_history.Add(report.unixNanoseconds, figures.gridTimeDeviationUs);
        m_state->lastUnixNs = report.unixNanoseconds;
        m_state->lastDeviationUs = figures.gridTimeDeviationUs;
        if (figures.meanFrequencyTenMicroHz) {
            m_state->lastMeanHz = HertzOf(*figures.meanFrequencyTenMicroHz);
            m_state->nominal = report.nominalHz;
        }
    }
    report.gridTimeSinceNs = m_state ? m_state->sinceUnixNs : 0;
    report.gridTimeAnchoredNs = m_state ? m_state->anchoredUnixNs : 0;
    return bridged;
}

RunEvent GridTimeEpoch::Bridge(const PulseReport& report) {
    if (!m_state || m_state->nominal == 0) {
        return NewEpoch(report, std::exchange(m_storedDamaged, false)
                                    ? RunEvent::NewEpochCause::kStoredEpochDamaged
                                    : RunEvent::NewEpochCause::kNoEarlierEpoch);
    }
    // A recording's own times stand for UTC across its gaps, as a synchronised clock's do.
    const ClockState::Discipline discipline = report.clock.discipline;
    if (discipline != ClockState::Discipline::kSynchronised &&
        discipline != ClockState::Discipline::kNotMeasured) {
        return NewEpoch(report, RunEvent::NewEpochCause::kClockUnsynchronised);
    }
    const int64_t gapNs = report.unixNanoseconds - m_state->lastUnixNs;
    const double gapSeconds = static_cast<double>(gapNs) / kSecondNs;
    // How far the seconds the device counted may lie from the prediction: the grid's wander
    // over the gap, and the clock's UTC at both its ends.
    const std::optional<double> utcBound = OffsetBoundSeconds(report.clock);
    const double allowed = gapSeconds * m_wanderHz / m_state->nominal +
                           2 * utcBound.value_or(kAssumedUtcErrorSeconds);
    if (gapNs <= 0 || allowed >= kResolvableSeconds) {
        return NewEpoch(report, RunEvent::NewEpochCause::kGapTooLong, std::llround(gapSeconds));
    }
    // The device counted a whole number of seconds over the gap: the one nearest to what the
    // mean frequency before it would have counted, if it lies near enough. A device whose
    // count began again (a power dip, USB power lost) comes back at any fraction of a second,
    // and a grid that moved further than it can would be a whole second off.
    const double predicted = gapSeconds * m_state->lastMeanHz / m_state->nominal;
    const int64_t counted = std::llround(predicted);
    if (std::fabs(static_cast<double>(counted) - predicted) > allowed) {
        return NewEpoch(report, RunEvent::NewEpochCause::kCountDidNotCarryOn,
                        std::llround(gapSeconds));
    }
    m_runOffsetUs = m_state->lastDeviationUs + counted * 1'000'000 - (gapNs + 500) / 1000;
    RunEvent bridged = EventOfKind(RunEvent::Kind::kEpochBridged);
    bridged.gapSeconds = std::llround(gapSeconds);
    return bridged;
}

RunEvent GridTimeEpoch::NewEpoch(const PulseReport& report, RunEvent::NewEpochCause cause,
                                 int64_t gapSeconds) {
    const int nominal = m_state ? m_state->nominal : 0;
    m_state = EpochState{report.unixNanoseconds, report.unixNanoseconds, 0, 0.0, nominal, 0};
    m_runOffsetUs = 0;
    m_history.Clear();
    RunEvent event = EventOfKind(RunEvent::Kind::kNewEpoch);
    event.newEpochCause = cause;
    event.gapSeconds = gapSeconds;
    return event;
}

RunEvent GridTimeEpoch::ApplyAnchor(PulseReport& report) {
    if (!m_anchor || !report.figures || !IsCounted(*report.figures) || !m_state) {
        return {};
    }
    const GridTimeAnchor anchor = *m_anchor;
    const std::optional<int64_t> oldest = m_history.Oldest();
    if (oldest && anchor.atUnixNs < *oldest) {
        m_anchor.reset();
        RunEvent refused = EventOfKind(RunEvent::Kind::kGridTimeAnchorRefused);
        refused.anchor = anchor;
        refused.oldestHeldUnixNs = *oldest;
        return refused;
    }
    const std::optional<int64_t> ours = m_history.At(anchor.atUnixNs);
    if (!ours) {
        return {};  // its moment is still to come
    }
    m_anchor.reset();
    const int64_t moved = anchor.deviationUs - *ours;
    m_runOffsetUs += moved;
    m_history.Shift(moved);
    report.figures->gridTimeDeviationUs += moved;
    m_state->lastDeviationUs = report.figures->gridTimeDeviationUs;
    m_state->anchoredUnixNs = report.gridTimeAnchoredNs = anchor.atUnixNs;
    RunEvent anchored = EventOfKind(RunEvent::Kind::kGridTimeAnchored);
    anchored.anchor = anchor;
    anchored.anchorMovedUs = moved;
    return anchored;
}

}  // namespace cyclara
