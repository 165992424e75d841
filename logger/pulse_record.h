// The per-pulse record: one CSV file per UTC day, named by the date, one whole row per counted
// pulse with its UTC time and the grid figures, and rows for what happened to the device.
#pragma once

#include "measure/grid_figures.h"

#include <optional>
#include <string>

namespace cyclara::logger {

inline constexpr const char* kRecordHeader =
    "utc,seconds,interval_us,frequency_hz,mean_frequency_hz,grid_time_deviation_s,event\n";

// A pulse's row has its figures; an event's row (device lost, device back, stop) has only its
// time and its name.
std::string FormatRecordRow(int64_t unixNanoseconds, const std::optional<PulseFigures>& figures,
                            const std::string& event, int64_t counterFrequency);

// What the figures say happened at a pulse: "start", "lost N", "irregular", "counter back", or
// nothing.
std::string EventOf(const PulseFigures& figures);

class PulseRecord {
  public:
    explicit PulseRecord(std::string folder);

    // Appends `row` whole to the file of the UTC day `date`, begun with the header when new
    // or gone. False when it could not be written whole; the file then holds what it held
    // before.
    bool Append(const std::string& date, const std::string& row);

    const std::string& Folder() const { return m_folder; }

  private:
    bool Open(const std::string& date);

    const std::string m_folder;
    std::string m_date;  // the day whose file is open, once one is
    std::string m_path;
};

}  // namespace cyclara::logger
