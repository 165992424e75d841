// Where cyclara-log's measurement meets its outputs: each counted pulse becomes one record,
// with its grid figures and UTC time, handed to every output's queue.
#pragma once

#include "logger/epoch/grid_time_epoch.h"
#include "logger/events/rate_watch.h"
#include "logger/output/output.h"
#include "logger/stop_request.h"
#include "measure/grid_figures.h"
#include "measure/measurement_display.h"
#include "measure/reference_rate.h"
#include "serial/comm_device.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace cyclara::logger {

class PulseDispatch : public MeasurementDisplay {
  public:
    // `nominal` 50 or 60 fixes the nominal frequency, 0 leaves it to the device's lines.
    // Asks for a stop after `count` measured pulses (0: never).
    // `grid` names the bands (empty: the nominal frequency's usual grid), with the user's own. `epoch` is the grid
    // time's state an earlier run left, which this one goes on from where it can.
    PulseDispatch(int nominal, int64_t count, StopRequest& stop, std::vector<Output*> outputs,
                  GridChoice grid, std::optional<EpochState> epoch = std::nullopt);

    // The main thread, before each receive thread starts: a new measurement, from its
    // reference pulse; `reference` is the device whose DCD carries a reference second, if any,
    // used by the receive thread until the next run.
    void StartRun(CommDevice* reference = nullptr);
    // Any thread (the main thread's "device lost", "stop", a clock's change; the receive
    // thread's "no reference"): touches none of the receive thread's state.
    void Event(const std::string& event);
    // The main thread, at any time: the clock as just read; a change is an event.
    void ClockRead(const ClockState& clock);
    // Any thread: the operator's grid time at a moment, applied at a pulse after it.
    void AnchorGridTime(const GridTimeAnchor& anchor);

    // The receive thread's, like the window's fields.
    void SetFieldText(int id, const char* text) override;
    void SetIndicator(bool lit) override;
    void OnCountedPulse(const CountedPulse& pulse) override;

    // Any thread: the rising edges and the device's lines seen since the start.
    int64_t Rises() const { return m_rises; }
    int64_t Lines() const { return m_lines; }

  private:
    void Hand(const PulseReport& report);
    // An event of the run's own just before a pulse's row: a store keyed by time (InfluxDB)
    // keeps both.
    void HandBefore(const PulseReport& pulse, const std::string& event);
    // Before the pulse's figures: the reference's rate for the interval the pulse ends, into
    // the report's clock, and an event of its own when the reference is found or lost.
    void FollowReference(const CountedPulse& pulse, PulseReport& report);
    void WatchBands(PulseReport& report);
    ClockState Clock() const;

    const bool m_nominalFixed;
    const int64_t m_count;
    StopRequest& m_stop;
    const std::vector<Output*> m_outputs;
    // The receive thread's while it runs; the main thread's between runs (the thread's start
    // and end order the two).
    int m_nominal;
    std::optional<GridClock> m_clock;
    std::string m_frequencyText;
    const GridChoice m_grid;
    std::vector<BandWatch> m_bands;  // once the nominal frequency is known
    RateWatch m_rate;
    GridTimeEpoch m_epoch;
    int64_t m_measured = 0;
    CommDevice* m_reference = nullptr;
    std::optional<ReferenceSeconds> m_referenceSeconds;
    std::optional<ReferenceRate> m_referenceRate;  // the last pulse's, to tell a change
    std::vector<int64_t> m_referenceRises;
    // Written by the receive thread, read by any.
    std::atomic<int64_t> m_rises{0};
    std::atomic<int64_t> m_lines{0};
    // Written by the main thread, read by the receive thread at each pulse.
    mutable std::mutex m_clockMutex;
    std::optional<ClockState> m_clockState;
    // Written by any thread, taken by the receive thread at the next pulse.
    std::mutex m_anchorMutex;
    std::optional<GridTimeAnchor> m_anchor;
};

}  // namespace cyclara::logger
