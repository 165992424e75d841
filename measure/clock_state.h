// The clock the counter runs on: whether a time daemon disciplines its rate, and how well.
// What matters for a frequency is the rate error, never the time of day.
#pragma once

#include "measure/reference_rate.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cyclara {

struct ClockState {
    enum class Discipline {
        kSynchronised,       // a daemon steers the rate (NTP, chrony, systemd-timesyncd)
        kUnsynchronised,     // nothing does: the crystal's own rate error counts
        kNeverDisciplined,   // a counter no daemon can steer (Windows' performance counter)
        kNotMeasured,        // a recording analysed: its times are its own, no clock read them
    };
    Discipline discipline = Discipline::kUnsynchronised;
    double frequencyCorrectionPpm = 0;   // what the kernel adds to the crystal's rate
    std::optional<double> rateErrorPpm;  // the daemon's own estimate, where it gives one
    std::string estimatedBy;             // "chrony", or empty
    bool slewing = false;  // the rate departs from its average: a daemon slews an offset away
    // While synchronised: the kernel's bound on the clock's offset from UTC (its maxerror,
    // which chrony keeps at its root distance and which grows between a daemon's updates).
    std::optional<int64_t> maximumErrorUs;
    // While a reference second measures the intervals: the counter's rate against it, which
    // then takes the daemon's place.
    std::optional<ReferenceRate> reference;

    bool operator==(const ClockState&) const = default;
};

// What the kernel's clock state says: its unsynchronised flag and its maximum error, which it
// raises to 16 s as its own "unsynchronised" marker.
ClockState KernelClockState(bool unsynchronisedFlag, int64_t maximumErrorUs,
                            double frequencyCorrectionPpm);

// The rate error a figure carries: the daemon's estimate where there is one, else what such a
// clock typically keeps: 1 ppm disciplined, 20 ppm for a crystal left alone.
double RateErrorPpm(const ClockState& state);

// What bounds the clock's elapsed time over any span: a disciplined clock's offset, at either
// end; none where only the rate bounds it (unsynchronised, a reference's seconds, Windows).
std::optional<double> OffsetBoundSeconds(const ClockState& state);

// What the clock's rate error adds up to over `spanSeconds`: the rate times the span, but on a
// clock kept to UTC no more than the offsets at the span's two ends allow (each a uniform
// error within the bound: sqrt(2/3) of it together).
double DriftSeconds(double rateErrorPpm, double spanSeconds,
                    std::optional<double> offsetBoundSeconds);

// "synchronised", "unsynchronised", "never disciplined" or "not measured": the record's and
// the events' word.
const char* DisciplineName(ClockState::Discipline discipline);

// The record's and the events' word for the state: "reference" while a reference second
// measures the intervals, "slewing" while a disciplined clock slews, else its discipline's.
const char* ClockWord(const ClockState& state);
// Every word ClockWord gives.
std::vector<std::string> ClockWords();

// Follows the disciplined clock's rate against the raw crystal. While a daemon slews an offset
// away the kernel changes the rate by up to 500 ppm (25 mHz at 50 Hz) for seconds to minutes,
// which would show as a frequency excursion that never was; the readings taken then are flagged
// and carry what the slew moved them by. The kernel slews at up to 500 ppm, chrony by its own
// means far faster (its maxslewrate, 83,333 ppm by default). The average follows the steady
// rate; a departure that lasts is a new steady rate the daemon settled on.
class SlewWatch {
  public:
    // 0.25 mHz at 50 Hz: below it a slew costs less than a good UART's one-second reading.
    static constexpr double kSlewPpm = 5.0;
    // The time over which the average follows the rate.
    static constexpr double kAverageSeconds = 300.0;
    // A departure this long is the new steady rate.
    static constexpr double kSettledSeconds = 600.0;

    // Both clocks read at one moment, in nanoseconds; true while the rate since the sample
    // before departs from the average by more than kSlewPpm.
    bool Sample(int64_t rawNs, int64_t disciplinedNs);
    // The last sample's departure from the average while it was flagged, in ppm; else 0.
    double DeparturePpm() const { return m_departurePpm; }

  private:
    std::optional<int64_t> m_lastRaw;
    int64_t m_lastDisciplined = 0;
    std::optional<double> m_averagePpm;
    double m_departedSeconds = 0;  // how long the rate has departed from the average
    double m_departurePpm = 0;
};

// The raw crystal and the disciplined clock, read together; none where there is no raw clock.
struct ClockPair {
    int64_t rawNs = 0;
    int64_t disciplinedNs = 0;
};
std::optional<ClockPair> ReadClockPair();

// One sentence for the start report: the state, and what it costs in mHz at `nominal` Hz and
// in seconds of grid time a day, with what to do about it.
std::string DescribeClock(const ClockState& state, int nominal);

// The machine's clock now: the kernel's state, and a daemon's estimate where one answers.
ClockState ReadClockState();

}  // namespace cyclara
