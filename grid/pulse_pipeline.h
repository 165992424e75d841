// The one measurement behind every figure of cyclara-log: a source hands it the edges it
// counted, the device's frequency lines and the run's events; it makes, for each counted pulse,
// one typed record (the window's values, the grid figures, the UTC time, the clock, the
// uncertainty, the bands, the epoch) and hands it on. It reads time only through the clock it
// is given, so a test drives a day of pulses through it in moments, exactly.
#pragma once

#include "grid/grid_figures.h"
#include "grid/grid_time_epoch.h"
#include "grid/pulse_report.h"
#include "grid/rate_watch.h"
#include "measure/clock.h"
#include "measure/reference_rate.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cyclara {

struct PipelineSettings {
    int nominalHz = 0;  // 50 or 60 fixes the nominal frequency; 0 leaves it to the device
    GridChoice grid;    // the bands; empty names the nominal frequency's usual grid
    std::optional<EpochState> epoch;  // the grid time an earlier run left, to go on from
    bool epochDamaged = false;        // one was kept, but could not be read
};

class PulsePipeline {
  public:
    using Sink = std::function<void(const PulseReport&)>;

    // `sink` takes every record, on the thread that made it; it must not block.
    PulsePipeline(Clock& clock, PipelineSettings settings, Sink sink);

    // The thread that owns the pulses, before an opening's first edge: a new measurement from
    // its reference pulse, and a new choice of the nominal frequency unless the user fixed it.
    // `followsReference`: a reference second's rises will come with the pulses.
    void StartRun(bool followsReference);

    // The pulses' thread: one line's figure as the device sent it ("50"); the first that names
    // a nominal frequency decides the run's.
    void OnDeviceFigure(std::string_view figure);
    // The pulses' thread: the reference's rises since the last pulse, before the pulse.
    void OnReferenceRises(const std::vector<int64_t>& riseTicks);
    // The pulses' thread: the reference cannot be followed any more, for `reason`.
    void OnReferenceGone(const std::string& reason);
    // The pulses' thread: the window's reference pulse (count 0) and each measured one.
    void OnCountedPulse(const CountedPulse& pulse);

    // Any thread: an event of the run at the UTC time now. Touches none of the pulses' state.
    void Event(const RunEvent& event);
    // Any thread: the clock as just read; a change of its word is an event.
    void ClockRead(const ClockState& clock);
    // Any thread: the operator's grid time at a moment, applied at a pulse after it.
    void AnchorGridTime(const GridTimeAnchor& anchor);

  private:
    void Hand(const PulseReport& report);
    // An event of the pulse's own just before its row: a store keyed by time keeps both.
    void HandBefore(const PulseReport& pulse, const RunEvent& event);
    void FollowReference(const CountedPulse& pulse, PulseReport& report);
    void ApplyAnchor(PulseReport& report);
    void WatchBands(PulseReport& report);
    void DecideNominal(int hertz);
    ClockState CurrentClock() const;

    Clock& m_clockSource;
    const bool m_nominalFixed;
    const GridChoice m_grid;
    const Sink m_sink;
    // The pulses' thread's while an opening runs; the owner's between openings (the receive
    // thread's start and end order the two).
    // Written by the pulses' thread (or the constructor), read by any thread's events.
    std::atomic<int> m_nominalHz;
    bool m_nominalDecided = false;  // the pulses' thread's
    std::string m_deviceFigure;     // the pulses' thread's: the latest line's, as sent
    std::optional<GridClock> m_gridClock;
    std::vector<BandWatch> m_bands;  // once the nominal frequency is known
    RateWatch m_rate;
    GridTimeEpoch m_epoch;
    bool m_followsReference = false;
    std::optional<ReferenceSeconds> m_referenceSeconds;
    std::optional<ReferenceRate> m_referenceRate;  // the last pulse's, to tell a change
    // Written by any thread in ClockRead, read by the pulses' thread and Event.
    mutable std::mutex m_clockMutex;
    std::optional<ClockState> m_clockState;
    // Written by any thread, taken by the pulses' thread at the next pulse.
    std::mutex m_anchorMutex;
    std::optional<GridTimeAnchor> m_anchor;
};

}  // namespace cyclara
