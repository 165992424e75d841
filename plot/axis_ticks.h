// Where an axis puts its ticks: at round times (00:00, 03:00...) and round values (49.975,
// 50.000...), so a reader never meets 02:59 or 7.597. The axis then runs from its first tick to
// its last, which take in the data.
#pragma once

namespace cyclara::plot {

struct Ticks {
    double first = 0;  // the first tick, at or below the data
    double step = 1;
    int intervals = 1;  // the last tick is first + step x intervals, at or above the data
    double Last() const { return first + step * intervals; }
};

// Times in milliseconds since 1970, with `offsetMs` added to reach the clock the labels show
// (0 for UTC), in steps of 1, 2, 5, 10, 15 and 30 minutes, 1, 2, 3, 6 and 12 hours and 1, 2
// and 7 days: the smallest that needs no more than `most` intervals.
Ticks TimeTicks(double fromMs, double toMs, double offsetMs = 0, int most = 8);

// Values in steps of 1, 2, 2.5 and 5 times a power of ten: the smallest that needs no more
// than `most` intervals.
Ticks ValueTicks(double low, double high, int most = 8);

// The decimals that show every tick of a value step exactly: 2 for 0.05, 3 for 0.025.
int DecimalsOf(double step);

}  // namespace cyclara::plot
