// cyclara-log's output: one tab-separated row per counted pulse, made from the texts the
// window's fields would show.
#pragma once

#include "logger/grid_recorder.h"
#include "logger/pulse_sink.h"
#include "logger/stop_request.h"
#include "measure/measurement_display.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>
#include <string>

namespace cyclara::logger {

inline constexpr const char* kRowHeader =
    "elapsed\twidth_us\tdifference_us\tfrequency_hz\tmeasured_hz\tgrid_time_deviation_s";

// The window's fields: elapsed as H:MM:SS, the width, the signed difference ("0" without a
// sign) and the frequency figure, "-" while no line has given one; then the grid figures of
// the same pulse: the measured frequency ("-" while the nominal one is unknown) and the grid
// time deviation.
std::string FormatRow(const std::string& elapsed, const std::string& width,
                      const std::string& difference, const std::string& frequency,
                      const std::optional<PulseFigures>& figures);

// Receives the fields from the receive thread and prints a row when the difference, the last
// field a counted pulse sets, arrives. Asks for a stop after `count` rows (0: never) and when
// the output is gone.
class PulseRows : public MeasurementDisplay {
  public:
    // Each row printed also goes to `sinks`. Given the device's path, the rows are InfluxDB's
    // line protocol instead, tagged with it.
    PulseRows(std::FILE* out, int64_t count, StopRequest& stop, GridRecorder& grid,
              const std::vector<std::unique_ptr<PulseSink>>& sinks,
              std::string lineProtocolDevice);

    void SetFieldText(int id, const char* text) override;
    void SetIndicator(bool) override {}

  private:
    void PrintRow(const char* difference);

    std::FILE* const m_out;
    const int64_t m_count;
    StopRequest& m_stop;
    GridRecorder& m_grid;
    const std::vector<std::unique_ptr<PulseSink>>& m_sinks;
    const std::string m_lineProtocolDevice;
    const std::string m_host;
    // The receive thread's only, like the window's fields.
    std::string m_elapsed;
    std::string m_width;
    std::string m_frequency;
    int64_t m_printed = 0;
};

}  // namespace cyclara::logger
