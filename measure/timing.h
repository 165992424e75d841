// Integer arithmetic on counter ticks. Every truncation here decides a displayed digit.
#pragma once

#include <cstdint>

namespace cyclara {

inline constexpr int64_t kMicrosecondsPerSecond = 1'000'000;

// ticks * 1,000,000 / frequency, truncated toward zero, as if the product were formed
// exactly: the span is split into whole seconds and a remainder, so no span overflows.
// A quotient within a second of int64's range saturates there; a frequency of 0 or less yields 0.
int64_t TicksToMicroseconds(int64_t ticks, int64_t frequency);

// later - earlier, wrapping as the counter's 64-bit arithmetic does: readings that are
// centuries apart (a counter set or jumping wildly) give a wrong interval, not undefined
// behaviour.
int64_t TicksBetween(int64_t later, int64_t earlier);

// The low 32 bits of `value`, taken as a signed number.
int32_t Low32(int64_t value);

// Elapsed count of intervals split into hours, minutes and seconds.
struct Elapsed {
    int32_t hours;
    int32_t minutes;
    int32_t seconds;
};
Elapsed SplitElapsed(int32_t intervals);

// Mean interval from the reference pulse minus one second, in microseconds: the span is
// divided by the interval count in ticks first, then scaled. `intervals` is 1 or more.
int32_t MeanDeviationMicroseconds(int64_t spanTicks, int32_t intervals, int64_t frequency);

// '+', '-', or a space for a zero difference.
char DifferenceSign(int32_t difference);

// |difference|; the magnitude of INT32_MIN has no int32 value and is shown as INT32_MAX.
int32_t DifferenceMagnitude(int32_t difference);

}  // namespace cyclara
