// The clock the counter runs on: whether a time daemon disciplines its rate, and how well.
// What matters for a frequency is the rate error, never the time of day.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cyclara {

struct ClockState {
    enum class Discipline {
        kSynchronised,       // a daemon steers the rate (NTP, chrony, systemd-timesyncd)
        kUnsynchronised,     // nothing does: the crystal's own rate error counts
        kNeverDisciplined,   // a counter no daemon can steer (Windows' performance counter)
    };
    Discipline discipline = Discipline::kUnsynchronised;
    double frequencyCorrectionPpm = 0;   // what the kernel adds to the crystal's rate
    std::optional<double> rateErrorPpm;  // the daemon's own estimate, where it gives one
    std::string estimatedBy;             // "chrony", or empty

    bool operator==(const ClockState&) const = default;
};

// What the kernel's clock state says: its unsynchronised flag and its maximum error, which it
// raises to 16 s as its own "unsynchronised" marker.
ClockState KernelClockState(bool unsynchronisedFlag, int64_t maximumErrorUs,
                            double frequencyCorrectionPpm);

// The rate error a figure carries: the daemon's estimate where there is one, else what such a
// clock typically keeps: 1 ppm disciplined, 20 ppm for a crystal left alone.
double RateErrorPpm(const ClockState& state);

// "synchronised", "unsynchronised" or "never disciplined": the record's and the events' word.
const char* DisciplineName(ClockState::Discipline discipline);

// One sentence for the start report: the state, and what it costs in mHz at `nominal` Hz and
// in seconds of grid time a day, with what to do about it.
std::string DescribeClock(const ClockState& state, int nominal);

// The machine's clock now: the kernel's state, and a daemon's estimate where one answers.
ClockState ReadClockState();

}  // namespace cyclara
