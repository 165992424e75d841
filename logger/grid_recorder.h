// The grid figures of cyclara-log: a clock over each opening's pulses, the latest figures for
// the row printed after them, and the per-pulse record when one is kept.
#pragma once

#include "logger/pulse_record.h"
#include "measure/grid_figures.h"

#include <memory>
#include <optional>
#include <string>

namespace cyclara::logger {

// The receive thread calls StartRun, OnPulse and OnFrequencyText while it runs; the main thread
// calls RecordEvent only while no receive thread runs. So nothing here is shared at one time.
class GridRecorder {
  public:
    // `nominal` 50 or 60 fixes the nominal frequency, 0 leaves it to the device's lines;
    // `recordFolder` empty keeps no record.
    GridRecorder(int nominal, const std::string& recordFolder);

    // At each opening of the port: a new measurement, from warm-up.
    void StartRun();
    // A rising edge at counter value `ticks`.
    void OnPulse(int64_t ticks);
    // A frequency line's figure, which names the nominal frequency unless the user did.
    void OnFrequencyText(const std::string& text);
    // "device lost", "device back", "stop": a row with the time it happened.
    void RecordEvent(const std::string& event);

    // The figures of the latest pulse that had any, and its edge's UTC time.
    const std::optional<PulseFigures>& Latest() const { return m_latest; }
    int64_t LatestUnixNanoseconds() const { return m_latestUnixNanoseconds; }
    int64_t CounterFrequency() const { return m_counterFrequency; }

  private:
    void Record(int64_t unixNanoseconds, const std::optional<PulseFigures>& figures,
                const std::string& event);

    const int64_t m_counterFrequency;
    const bool m_nominalFixed;
    int m_nominal;
    std::unique_ptr<PulseRecord> m_record;  // none when no record is kept
    std::optional<GridClock> m_clock;
    std::optional<PulseFigures> m_latest;
    int64_t m_latestUnixNanoseconds = 0;
    int64_t m_unrecorded = 0;  // rows that could not be written since the last one that was
};

}  // namespace cyclara::logger
