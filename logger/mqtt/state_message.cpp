#include "logger/mqtt/state_message.h"

#include "logger/mqtt/json_text.h"
#include "record/record_layout.h"
#include "logger/utf8_text.h"
#include "measure/time_spans.h"
#include "measure/wall_clock.h"

namespace cyclara::logger {

namespace {

using Json = nlohmann::json;

Json NumberOrNull(const std::optional<int64_t>& tenMicroHz) {
    return tenMicroHz ? Json(HertzOf(*tenMicroHz)) : Json();
}

Json IntervalOrNull(const PulseReport& report) {
    if (!report.figures || report.figures->intervalTicks <= 0) {
        return Json();
    }
    return static_cast<double>(ScaleTicks(report.figures->intervalTicks,
                                          report.pulse->counterFrequency, kSecondNs)) /
           1e3;
}

}  // namespace

Json StateObject(const PulseReport& report) {
    const std::optional<PulseFigures>& figures = report.figures;
    return {
        {"utc", FormatUtc(report.unixNanoseconds)},
        {"frequency_hz", figures ? NumberOrNull(figures->frequencyTenMicroHz) : Json()},
        {"mean_frequency_hz", figures ? NumberOrNull(figures->meanFrequencyTenMicroHz) : Json()},
        {"grid_time_deviation_s",
         figures ? Json(static_cast<double>(figures->gridTimeDeviationUs) / 1e6) : Json()},
        {"grid_time_since",
         report.gridTimeSinceNs != 0 ? Json(FormatUtc(report.gridTimeSinceNs)) : Json()},
        {"grid_time_anchored",
         report.gridTimeAnchoredNs != 0 ? Json(FormatUtc(report.gridTimeAnchoredNs)) : Json()},
        {"interval_us", IntervalOrNull(report)},
        {"difference_us", report.IsMeasured() ? Json(report.pulse->differenceUs) : Json()},
        {"count", report.pulse ? Json(report.pulse->count) : Json()},
        {"elapsed_s", figures ? Json(figures->seconds) : Json()},
        {"frequency_text", ValidUtf8(report.frequencyText)},
        {"event", ValidUtf8(EventWords(report))},
        {"frequency_uncertainty_hz",
         report.uncertainty ? Json(report.uncertainty->frequencyHz) : Json()},
        {"mean_frequency_uncertainty_hz",
         report.uncertainty ? Json(report.uncertainty->meanFrequencyHz) : Json()},
        {"grid_time_uncertainty_s",
         report.uncertainty ? Json(report.uncertainty->gridTimeSeconds) : Json()},
        {"clock", ClockWord(report.clock)},
        {"clock_frequency_correction_ppm", report.clock.frequencyCorrectionPpm},
        {"clock_rate_error_ppm", RateErrorPpm(report.clock)}};
}

std::string StateMessage(const PulseReport& report) {
    return Serialised(StateObject(report));
}

}  // namespace cyclara::logger
