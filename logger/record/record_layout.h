// The per-pulse record's layout, defined once for its writer, its readers and their tests.
// A file starts with a line naming the layout's version, then the header of its columns;
// later versions only add columns at the end, so a reader that finds its columns by the
// header's names reads every version. A file without the version line is version 1.
#pragma once

#include "measure/grid_figures.h"

#include <optional>
#include <string>

namespace cyclara::logger {

inline constexpr int kRecordLayoutVersion = 1;
inline constexpr const char* kRecordVersionLine = "# cyclara-log record, layout 1";
inline constexpr const char* kRecordColumns =
    "utc,seconds,interval_us,frequency_hz,mean_frequency_hz,grid_time_deviation_s,event";

// The event column's words: what the figures say of a pulse, and what happened to the run.
namespace record_event {
inline constexpr const char* kStart = "start";
inline constexpr const char* kIrregular = "irregular";
inline constexpr const char* kCounterBack = "counter back";
inline constexpr const char* kGlitch = "glitch";
inline constexpr const char* kLost = "lost";              // "lost 2": pulses missing
inline constexpr const char* kUnrecorded = "unrecorded";  // "unrecorded 5": rows missing
inline constexpr const char* kDeviceLost = "device lost";
inline constexpr const char* kDeviceBack = "device back";
inline constexpr const char* kStop = "stop";
}  // namespace record_event

// What the figures say happened at a pulse; empty for an ordinary one.
std::string EventOf(const PulseFigures& figures);

// A pulse's row has its figures; an event's row only its time and its name.
std::string FormatRecordRow(int64_t unixNanoseconds, const std::optional<PulseFigures>& figures,
                            const std::string& event, int64_t counterFrequency);

}  // namespace cyclara::logger
