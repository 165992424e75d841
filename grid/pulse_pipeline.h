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

    // `sink` takes every record in time order, under the pipeline's lock; it must not block.
    PulsePipeline(Clock& clock, PipelineSettings settings, Sink sink);

    // The thread that owns the pulses, before an opening's first edge: a new measurement from
    // its reference pulse, and a new choice of the nominal frequency unless the user fixed it.
    // `followsReference`: a reference second's rises will come with the pulses.
    void StartRun(bool followsReference);
    // The owner, once an opening's edges have ended: a pulse still waiting for its decision
    // is decided as it stands.
    void EndRun();

    // The pulses' thread: one line's figure as the device sent it ("50"); the first that names
    // a nominal frequency decides the run's.
    void OnDeviceFigure(std::string_view figure);
    // The pulses' thread: the reference's rises since the last pulse, before the pulse.
    void OnReferenceRises(const std::vector<int64_t>& riseTicks);
    // The pulses' thread: the reference cannot be followed any more, for `reason`.
    void OnReferenceGone(const std::string& reason);
    // The pulses' thread: the window's reference pulse (count 0) and each measured one. A
    // pulse that came early may wait for the next edge (or the moment no edge can be its
    // rival) before its record is made.
    void OnCountedPulse(const CountedPulse& pulse);

    // Any thread: an event of the run at the UTC time now. It follows a pulse still waiting
    // for its decision, so the records stay in time order.
    void Event(const RunEvent& event);
    // Any thread: the clock as just read; a change of its word is an event.
    void ClockRead(const ClockState& clock);
    // Any thread: the operator's grid time at a moment, applied at a pulse after it.
    void AnchorGridTime(const GridTimeAnchor& anchor);
    // Any thread, now and then: a waiting pulse that no edge can be a rival to any more is
    // decided, so it never waits for a device that went quiet.
    void Settle();

  private:
    // An edge as it came: what its record takes from that moment.
    struct Arrival {
        CountedPulse pulse;
        int64_t unixNanoseconds = 0;
        std::string frequencyText;
        ClockState clock;
        std::optional<ClockPair> clocks;  // the raw and the disciplined clock beside the edge
    };
    // What came after a waiting pulse: an edge that lost to it, or an event's record.
    struct Behind {
        std::optional<Arrival> edge;
        PulseReport event;
    };
    // Edges and events kept behind a waiting pulse, at most: beyond, it is decided as it is.
    static constexpr size_t kMostBehind = 4096;

    void Take(const Arrival& edge);
    void Measure(const Arrival& edge, bool skip);
    void Decide();
    void HandBehind();
    void SettleLocked();
    void EventLocked(const RunEvent& event);
    void Hand(const PulseReport& report);
    // An event of the pulse's own just before its row: a store keyed by time keeps both.
    void HandBefore(const PulseReport& pulse, const RunEvent& event);
    void FollowReference(const CountedPulse& pulse, PulseReport& report);
    void FollowSlew(const Arrival& edge, PulseReport& report);
    void ApplyAnchor(PulseReport& report);
    void KnowTheGrid();
    void WatchBands(PulseReport& report);
    void DecideNominal(int hertz);

    Clock& m_clockSource;
    const bool m_nominalFixed;
    const GridChoice m_grid;
    const Sink m_sink;
    // Everything below is written and read under m_mutex, by the pulses' thread (or the owner
    // between openings) and by any thread's events, settling, clock reads and anchors. The
    // sink is called under it, so the outputs' own locks come after it, never before.
    std::mutex m_mutex;
    int m_nominalHz = 0;
    bool m_nominalDecided = false;
    std::string m_deviceFigure;  // the latest line's, as sent
    std::optional<GridClock> m_gridClock;
    std::vector<BandWatch> m_bands;  // once the nominal frequency is known
    RateWatch m_rate;
    GridTimeEpoch m_epoch;
    bool m_followsReference = false;
    std::optional<ReferenceSeconds> m_referenceSeconds;
    std::optional<ReferenceRate> m_referenceRate;  // the last pulse's, to tell a change
    std::optional<ClockState> m_clockState;  // its slewing is m_slew's, from the pulses
    SlewWatch m_slew;
    bool m_slewing = false;  // as the last counted pulse found it
    std::optional<GridTimeAnchor> m_anchor;  // taken at the next pulse
    std::optional<Arrival> m_waiting;        // a pulse that waits for the next edge
    std::vector<Behind> m_behind;            // what came after it, in order
};

}  // namespace cyclara
