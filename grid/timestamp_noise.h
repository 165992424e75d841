// How noisy the edges' timestamps are, told by the edges themselves. Under white timestamp
// noise of s.d. s, the difference of two successive one-second intervals, t(k) - 2 t(k-1) +
// t(k-2), has variance 6 s^2; the grid's own change from one second to the next adds to it
// and never takes away, so the estimate is an upper bound, near the truth where the timing
// path's noise outweighs the grid's wander (a USB adapter's) and above it where it does not
// (a UART's few microseconds beside a wandering grid's tens). The spread is taken from the
// differences' median absolute deviation (1.4826 MAD is a normal s.d.), so that one artefact
// (an edge a bounce moved, a late wake) cannot own it for the minutes it stays in the window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace cyclara {

class TimestampNoise {
  public:
    // Four minutes of one-second intervals: a s.d. to some 7 %, following the path's changes.
    static constexpr size_t kWindow = 256;
    // Fewer differences than this give no estimate.
    static constexpr size_t kFewest = 16;

    // A counted interval of one nominal second, in counter ticks.
    void AddSecond(int64_t intervalTicks);
    // Anything else breaks the chain of successive seconds (a lost pulse, a glitch, a new
    // reference): the next difference starts after it.
    void Break() { m_last.reset(); }

    // The timestamps' s.d. in seconds, at a counter of `frequency` ticks a second.
    std::optional<double> SigmaSeconds(int64_t frequency) const;
    // The s.d. of one interval about the one before (sqrt(6) timestamps'), in counter ticks.
    std::optional<double> SecondDifferenceSdTicks() const { return m_secondDifferenceSdTicks; }

  private:
    std::optional<int64_t> m_last;
    std::deque<double> m_differences;  // in ticks, the newest kWindow, oldest first
    // The same, in order: a median and the median absolute deviation are then a walk of half
    // the window, where sorting a copy at every pulse cost a third of a replay's time.
    std::vector<double> m_sorted;
    // Of the window as it stands: each pulse asks for it more than once.
    std::optional<double> m_secondDifferenceSdTicks;
};

// How far each figure of a pulse can be trusted, one standard uncertainty each: the timestamps'
// noise and the clock's rate error, combined.
struct Uncertainty {
    double frequencyHz = 0;      // the one-second frequency
    double meanFrequencyHz = 0;  // the mean since the reference pulse
    double gridTimeSeconds = 0;  // the grid time deviation
};

// For a reading `seconds` after the reference, in a grid time epoch `epochSeconds` long (a
// bridged epoch carries its error across runs), at `nominal` Hz, with timestamp noise `sigma`
// seconds and a clock rate error of `rateErrorPpm`; `offsetBound`, where the clock is kept to
// UTC, bounds what the rate error can add up to over either span.
Uncertainty UncertaintyOf(double sigmaSeconds, double rateErrorPpm, int nominal, int64_t seconds,
                          int64_t epochSeconds, std::optional<double> offsetBoundSeconds);

}  // namespace cyclara
