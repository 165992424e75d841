// The grid time deviation across restarts and lost devices. The device goes on counting mains
// cycles while cyclara-log is away; each pulse comes when a whole number of nominal seconds is
// counted, so a pulse's UTC time gives the deviation's fraction of a second, and a bound on how
// far the grid's frequency can wander over the gap gives its whole seconds. Within that bound
// the deviation goes on from where it was; beyond it, or against a clock whose UTC cannot be
// trusted across the gap, a new epoch starts at 0, and says so.
#pragma once

#include "grid/grid_time_anchor.h"
#include "grid/pulse_report.h"

#include <cstdint>
#include <optional>
#include <string>

namespace cyclara {

struct EpochState {
    int64_t sinceUnixNs = 0;  // when the epoch began: its deviation counts from 0 there
    // The last counted pulse: its UTC time, its deviation and the mean frequency then.
    int64_t lastUnixNs = 0;
    int64_t lastDeviationUs = 0;
    double lastMeanHz = 0;
    int nominal = 0;
    int64_t anchoredUnixNs = 0;  // the operator's moment the deviation was set to; 0 for none
};

class GridTimeEpoch {
  public:
    // How far the mean frequency over a gap may lie from the mean before it, until the grid
    // says: Continental Europe's largest steady-state deviation.
    static constexpr double kDefaultWanderHz = 0.2;
    // What the seconds counted over a gap may be uncertain by and still be told apart: half a
    // second, less a margin.
    static constexpr double kResolvableSeconds = 0.4;
    // The error of a disciplined clock's UTC at each end of a gap where the kernel gives no
    // bound of its own.
    static constexpr double kAssumedUtcErrorSeconds = 0.005;

    // `stored`: the state a run before this one left, if any; `storedDamaged`: one was kept
    // but could not be read, which the first new epoch says.
    explicit GridTimeEpoch(std::optional<EpochState> stored = std::nullopt,
                           bool storedDamaged = false);

    // The pulses' thread, at every counted pulse: the run's deviation becomes the epoch's. A
    // run's reference pulse is bridged to the last pulse before it, or begins a new epoch, and
    // which is returned, for an event of its own: the pulse's own event (kStart) stays.
    RunEvent Apply(PulseReport& report);

    // The pulses' thread: the operator's figure, applied by ApplyAnchor once a pulse after its
    // moment has come, if the history still holds that moment.
    void Anchor(const GridTimeAnchor& anchor) { m_anchor = anchor; }
    // The pulses' thread, at every pulse after Apply: kGridTimeAnchored when an anchor was
    // applied, kGridTimeAnchorRefused, else kNone. The pulse's deviation and every later one
    // move by what the anchor says ours was off.
    RunEvent ApplyAnchor(PulseReport& report);

    // The grid's largest steady-state deviation, which bounds how far the seconds counted
    // over a gap may lie from the prediction.
    void AllowWander(double hertz) { m_wanderHz = hertz; }

    // Any thread the owner orders after Apply: the state to keep for the next run.
    const std::optional<EpochState>& State() const { return m_state; }

  private:
    RunEvent Bridge(const PulseReport& report);
    RunEvent NewEpoch(const PulseReport& report, RunEvent::NewEpochCause cause,
                      int64_t gapSeconds = 0);

    std::optional<EpochState> m_state;
    double m_wanderHz = kDefaultWanderHz;
    bool m_storedDamaged;  // until the first epoch begins
    int64_t m_runOffsetUs = 0;  // the epoch's deviation at this run's reference pulse
    DeviationHistory m_history;  // of this epoch's counted pulses
    std::optional<GridTimeAnchor> m_anchor;  // given and not yet applied
};

}  // namespace cyclara
