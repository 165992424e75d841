#include "logger/mqtt/summary_message.h"

#include "logger/mqtt/json_text.h"
#include "measure/time_spans.h"
#include "measure/wall_clock.h"

namespace cyclara::logger {

namespace {

using Json = nlohmann::json;

Json Hertz(const std::optional<int64_t>& tenMicroHz) {
    return tenMicroHz ? Json(HertzOf(*tenMicroHz)) : Json();
}

}  // namespace

std::string SummaryMessage(const PeriodFigures& period, int64_t periodEndNanoseconds) {
    const std::optional<PulseReport>& last = period.Last();
    const PulseFigures* figures = last && last->figures ? &*last->figures : nullptr;
    const bool interval = figures != nullptr && figures->intervalTicks > 0;
    const Json message = {
        {"utc", FormatUtc(periodEndNanoseconds)},
        {"pulses", period.Pulses()},
        {"frequency_hz", Hertz(period.Mean())},
        {"frequency_min_hz", Hertz(period.Lowest())},
        {"frequency_max_hz", Hertz(period.Highest())},
        {"grid_time_deviation_s",
         figures != nullptr ? Json(static_cast<double>(figures->gridTimeDeviationUs) / 1e6)
                            : Json()},
        {"interval_us", interval ? Json(static_cast<double>(ScaleTicks(
                                            figures->intervalTicks, last->pulse->counterFrequency,
                                            kSecondNs)) /
                                        1e3)
                                 : Json()},
        {"frequency_uncertainty_hz",
         last && last->uncertainty ? Json(last->uncertainty->frequencyHz) : Json()},
        {"clock", last ? Json(ClockWord(last->clock)) : Json()}};
    return Serialised(message);
}

}  // namespace cyclara::logger
