// The per-pulse record's layout, defined once for its writer, its readers and their tests.
// A file's first line is the header of its columns, named as identifiers, so a CSV reader's
// defaults (pandas.read_csv, R's read.csv) take it as it is. The layout's version is the
// `layout` column of every row. Older files began with a comment line naming it
// ("# cyclara-log record, layout 2"), or, in layout 1, with the header alone. Later layouts
// only add columns, so a reader that finds its columns by the header's names reads every one.
#pragma once

#include "grid/pulse_report.h"
#include "grid/run_event.h"

#include <optional>
#include <string>

namespace cyclara {

// Layout 2 added the frequency's uncertainty and the clock's state; layout 3 the nominal
// frequency the run decided on, and the layout in every row in place of a comment line.
inline constexpr int kRecordLayout = 3;
inline constexpr const char* kRecordColumns =
    "utc,seconds,interval_us,frequency_hz,mean_frequency_hz,grid_time_deviation_s,event,"
    "frequency_uncertainty_hz,clock,nominal_hz,layout";

// The event column's words: what the figures say of a pulse, and what happened to the run.
namespace record_event {
inline constexpr const char* kStart = "start";
inline constexpr const char* kIrregular = "irregular";
inline constexpr const char* kCounterBack = "counter back";
inline constexpr const char* kGlitch = "glitch";
inline constexpr const char* kLost = "lost";              // "lost 2": pulses missing
// "cycle slip +1": the device counted a cycle more (or fewer) into this second; its reading and
// the grid time count the cycles it held.
inline constexpr const char* kCycleSlip = "cycle slip";
inline constexpr const char* kUnrecorded = "unrecorded";  // "unrecorded 5": rows missing
inline constexpr const char* kDeviceLost = "device lost";
inline constexpr const char* kDeviceBack = "device back";
inline constexpr const char* kStop = "stop";
inline constexpr const char* kNoPulses = "no pulses";  // the device is there, but sends none
inline constexpr const char* kPulsesAgain = "pulses again";
inline constexpr const char* kClock = "clock";  // "clock synchronised": the clock changed
// "timing: driver wait (TIOCMIWAIT); real-time priority": how an opening timestamps its edges.
inline constexpr const char* kTiming = "timing";
// A reference second measures the intervals from this pulse on, or no longer does.
inline constexpr const char* kReferenceOn = "reference on";
inline constexpr const char* kReferenceLost = "reference lost";
inline constexpr const char* kNoReference = "no reference";  // "no reference: why"
// "grid time anchored: -12.345000 s at ..., moved by ...": the operator's figure applied.
inline constexpr const char* kGridTimeAnchored = "grid time anchored";
// "new epoch: why": the grid time counts from 0 again; "bridged 12 s": a restart went on.
inline constexpr const char* kNewEpoch = "new epoch";
inline constexpr const char* kBridged = "bridged";
inline constexpr const char* kGridTimeAnchorRefused = "grid time anchor refused";
}  // namespace record_event

// The words of a record's event, for the record's event column and whoever reads them:
// "lost 2", "clock synchronised", "grid time anchored: ..."; empty for none.
std::string EventWords(const PulseReport& report);
// "49.950": hertz to the millihertz, as the events give their limits and extremes.
std::string HertzToTheMillihertz(double hertz);
// "left the standard range (49.950 to 50.050 Hz)", "back in the standard range (...)".
std::string BandEventText(const PulseReport::BandEvent& event);
// "driver wait (TIOCMIWAIT); real-time priority": how an opening timestamps its edges.
std::string TimingWords(const RunEvent& event);

// A pulse's row has its figures; an event's row only its time, its name and the clock.
std::string FormatRecordRow(const PulseReport& report);
// A row for rows that are missing: "unrecorded N" at the time of the row after them.
std::string FormatUnrecordedRow(int64_t unixNanoseconds, uint64_t missing);

}  // namespace cyclara
