// What the pipeline hands each output: one typed record per counted pulse, and one per event
// of the run (the device lost or back, the stop).
#pragma once

#include "grid/band_watch.h"
#include "grid/grid_figures.h"
#include "grid/run_event.h"
#include "grid/timestamp_noise.h"
#include "measure/clock_state.h"
#include "measure/counted_pulse.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cyclara {

struct PulseReport {
    int64_t unixNanoseconds = 0;        // the edge's UTC time, or the event's
    std::optional<CountedPulse> pulse;  // none for an event of the run
    std::optional<PulseFigures> figures;
    std::string frequencyText;  // the device's latest line as it sent it, empty before one
    RunEvent event;             // kNone for an ordinary pulse
    // 50 or 60, decided once per run from the device's lines or the user's choice; 0 until then.
    int nominalHz = 0;
    ClockState clock;           // as last read
    std::optional<Uncertainty> uncertainty;  // once the noise and the nominal are known
    // Bands this pulse's reading confirmed as left (started) or re-entered (ended).
    struct BandEvent {
        bool started = true;
        Excursion excursion;
    };
    std::vector<BandEvent> bandEvents;
    // When the epoch the grid time deviation counts from began (UTC); 0 without figures.
    int64_t gridTimeSinceNs = 0;
    // The operator's moment an anchor set the deviation to, in this epoch (UTC); 0 for none.
    int64_t gridTimeAnchoredNs = 0;

    // A measured pulse: one row of the window's fields.
    bool IsMeasured() const { return pulse && pulse->count > 0; }
};

}  // namespace cyclara
