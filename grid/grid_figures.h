// What the people who watch a grid read from the same pulses the window measures: the
// frequency, its mean, the grid time deviation, and the pulses that were lost.
#pragma once

#include "grid/timestamp_noise.h"
#include "measure/tick_scaling.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cyclara {

// Frequencies are integers of 10 uHz: five decimals of a hertz, exact in every text.
inline constexpr double kTenMicroHzPerHz = 1e5;
inline double HertzOf(int64_t tenMicroHz) {
    return static_cast<double>(tenMicroHz) / kTenMicroHzPerHz;
}

struct PulseFigures {
    enum class Kind {
        kReference,    // the pulse all later figures count from: no interval yet
        kMeasured,     // an interval of one or more whole nominal seconds
        kIrregular,    // an interval near no whole number of seconds, counted as the nearest
        kCounterBack,  // a timestamp before the last one: a new reference
        kGlitch,       // an edge far too early to be a second: not counted, not a reference
    };
    Kind kind = Kind::kReference;
    int64_t seconds = 0;        // nominal seconds counted since the reference pulse
    // A second of one cycle more (+1) or fewer (-1) than the nominal's: the device miscounted,
    // and the reading and the grid time count the cycles the interval held.
    int slipCycles = 0;
    int64_t intervalTicks = 0;  // since the last counted pulse
    int64_t lost = 0;           // pulses missing inside the interval
    // None while the nominal frequency is unknown, or for no interval.
    std::optional<int64_t> frequencyTenMicroHz;
    std::optional<int64_t> meanFrequencyTenMicroHz;
    // Counted cycles (nominal seconds, with any slips) minus true elapsed time since the
    // reference, in microseconds: positive when the grid's clock is ahead.
    int64_t gridTimeDeviationUs = 0;
    // The timestamps' s.d., estimated from the counted seconds so far; none until enough.
    std::optional<double> timestampNoiseSeconds;
};

// Follows the rising edges of one opening of the port from its reference pulse on. Owned by
// one thread.
class GridClock {
  public:
    // What a grid that stays connected can do: its frequency never leaves nominal +-5 % (47.5
    // to 52.5 Hz), so the device's true seconds last 1/1.05 to 1/0.95 s (0.952 to 1.053 s).
    // An edge sooner than the shortest after the last counted one is a glitch (contact
    // bounce, interference on the line), not the next second: it is not counted and the next
    // interval is measured from the last counted edge, so 1, 0.3, 0.7 s reads as one second.
    static constexpr double kFastestOfNominal = 1.05;
    static constexpr double kSlowestOfNominal = 0.95;
    // An interval counts as k seconds (k - 1 of them lost) when it lies within the bounds for
    // k seconds and within this of k seconds: the grid stays within a fraction of a percent of
    // nominal over a gap, so 100 ms still tells a missed pulse (near 2 s) from a spurious one
    // (near 1.5 s).
    static constexpr int64_t kNearMilliseconds = 100;

    explicit GridClock(int64_t counterFrequency);

    // 50 or 60; anything else leaves the nominal frequency as it was.
    void SetNominal(int hertz);
    int Nominal() const { return m_nominal; }

    // The counter's ticks in one true second, measured against a reference, for the intervals
    // that end from now on; none: the counter's own frequency. Each interval is measured in the
    // seconds in force when it ended, so a reference lost or found changes no figure of the
    // past, and the grid time deviation goes on without a jump.
    void SetTicksPerSecond(std::optional<double> ticksPerSecond) {
        m_ticksPerSecond = ticksPerSecond;
    }

    // A reading one cycle's worth (about 1 Hz) from the two before it, which agree within
    // this, is a second of one cycle more or fewer: no grid moves that far in a second.
    static constexpr int64_t kAgreeingTenMicroHz = 10'000;

    // A one-second edge sooner than expected (from the last reading, else the nominal's
    // second) waits for the next edge: a spurious edge ahead of the true one looks so, and only
    // a later edge tells them apart. Sooner, that is, by more than this many times the scatter
    // of one interval about the one before (sqrt(6) times the timestamps' s.d.), once that is
    // known: so a true edge almost never waits, and a spurious one that does not wait lies
    // within the timestamps' own noise of the true edge.
    static constexpr double kEarlyBeyondScatter = 3.0;

    // A rising edge at counter value `ticks`; the first is the reference.
    PulseFigures OnPulse(int64_t ticks);
    // An edge at `ticks` taken for no second (another was nearer the expected one): the
    // figures of the last counted edge, counting nothing.
    PulseFigures Skip(int64_t ticks) const;

    // Whether an edge at `ticks` may be the second after the last counted edge.
    bool MayBeTheNextSecond(int64_t ticks) const;
    // Whether an edge at `ticks`, which may be the next second, comes so early that a later
    // edge might be the true one.
    bool WantsTheNextEdge(int64_t ticks) const;
    // Whether an edge at `ticks` lies nearer the expected second than one at `otherTicks`.
    bool Nearer(int64_t ticks, int64_t otherTicks) const;
    // The counter beyond which no edge may be the next second any more.
    int64_t LastChanceTicks() const;

  private:
    PulseFigures StartFrom(int64_t ticks, PulseFigures::Kind kind);
    // Whether `ticks` (`milliseconds`) can be `seconds` of a grid's: within its bounds and near.
    bool CanBeSeconds(int64_t ticks, int64_t milliseconds, int64_t seconds) const;
    // The cycles the nominal's seconds hold, with the slips counted.
    int64_t Cycles(int64_t seconds, int64_t slipCycles) const;
    std::optional<int64_t> FrequencyOf(int64_t cycles, int64_t ticks) const;
    std::optional<int64_t> FrequencyOver(int64_t cycles, double trueSeconds) const;
    // The interval the next second is expected to last: the last reading's, else nominal.
    int64_t ExpectedIntervalTicks() const;
    // +1 or -1 where a one-second interval of `ticks` held a cycle more or fewer; else 0.
    int SlipOf(int64_t ticks, double correction) const;
    std::optional<int64_t> ReadingOf(int64_t cycles, int64_t ticks, double correction) const;
    // What the reference's seconds add to the counter's own over an interval of `ticks`.
    double ReferenceCorrection(int64_t ticks) const;

    const int64_t m_counterFrequency;
    int m_nominal = 0;
    bool m_started = false;
    int64_t m_reference = 0;
    int64_t m_last = 0;
    int64_t m_seconds = 0;
    int64_t m_slipCycles = 0;  // since the reference
    // The readings of the last two seconds in a row, newest last; fewer after a break.
    std::vector<int64_t> m_recentTenMicroHz;
    PulseFigures m_latest;  // of the last counted edge, which a glitch repeats
    TimestampNoise m_noise;
    std::optional<double> m_ticksPerSecond;
    // True seconds since the reference pulse less the counter's own count of them: 0 until a
    // reference measured an interval.
    double m_correctionSeconds = 0;
};

// The nominal frequency a reading belongs to: 50 or 60 Hz.
inline int NominalNear(double hertz) {
    return hertz > 55.0 ? 60 : 50;
}

// "49.99950": hertz with five decimals.
std::string FormatHertz(int64_t tenMicroHz);
// "+0.000123" or "-1.250000": seconds with six decimals and a sign, from microseconds.
std::string FormatSignedSeconds(int64_t microseconds);
// "1000010.123": an interval in microseconds, with as many decimals (none to three) as the
// counter resolves.
std::string FormatIntervalMicroseconds(int64_t ticks, int64_t counterFrequency);

}  // namespace cyclara
