#include "plot/axis_ticks.h"

#include "measure/time_spans.h"

#include <array>
#include <cmath>

namespace cyclara::plot {

namespace {

constexpr std::array<double, 14> kTimeSteps{
    kMinuteMs,     2 * kMinuteMs, 5 * kMinuteMs, 10 * kMinuteMs, 15 * kMinuteMs,
    30 * kMinuteMs, kHourMs,      2 * kHourMs,   3 * kHourMs,    6 * kHourMs,
    12 * kHourMs,  kDayMs,        2 * kDayMs,    7 * kDayMs};

// A tick within a millionth of a step of a multiple is taken as that multiple: the data's
// own rounding must not add a step.
constexpr double kSlack = 1e-6;

Ticks Spanning(double from, double to, double step) {
    Ticks ticks;
    ticks.step = step;
    ticks.first = std::floor(from / step + kSlack) * step;
    const double last = std::ceil(to / step - kSlack) * step;
    ticks.intervals = std::max(1, static_cast<int>(std::lround((last - ticks.first) / step)));
    return ticks;
}

}  // namespace

Ticks TimeTicks(double fromMs, double toMs, double offsetMs, int most) {
    Ticks ticks;
    for (const double step : kTimeSteps) {
        ticks = Spanning(fromMs + offsetMs, toMs + offsetMs, step);
        if (ticks.intervals <= most) {
            break;
        }
    }
    ticks.first -= offsetMs;
    return ticks;
}

Ticks ValueTicks(double low, double high, int most) {
    const double span = std::max(high - low, 1e-9);
    double power = std::pow(10.0, std::floor(std::log10(span / most)));
    for (;;) {
        for (const double mantissa : {1.0, 2.0, 2.5, 5.0}) {
            const Ticks ticks = Spanning(low, high, mantissa * power);
            if (ticks.intervals <= most) {
                return ticks;
            }
        }
        power *= 10;
    }
}

int DecimalsOf(double step) {
    int decimals = 0;
    double scaled = step;
    while (decimals < 9 && std::abs(scaled - std::round(scaled)) > 1e-9 * std::max(1.0, scaled)) {
        scaled *= 10;
        ++decimals;
    }
    return decimals;
}

}  // namespace cyclara::plot
