#include "logger/influx/line_protocol.h"

#include "record/record_layout.h"
#include "logger/utf8_text.h"
#include "measure/wall_clock.h"

#include <cstdio>

namespace cyclara::logger {

namespace {

// Tag values escape commas, spaces and equals signs; string fields quotes and backslashes.
std::string Escaped(const std::string& text, const std::string& special) {
    std::string escaped;
    for (const char ch : text) {
        if (special.find(ch) != std::string::npos) {
            escaped += '\\';
        }
        escaped += ch;
    }
    return escaped;
}

std::string Quoted(const std::string& text) {
    return "\"" + Escaped(text, "\"\\") + "\"";
}

// The record's "+0.000010" as a number the protocol takes.
std::string Unsigned(const std::string& number) {
    return number.front() == '+' ? number.substr(1) : number;
}

std::string Number(const char* format, double value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void Add(std::string& fields, const std::string& name, const std::string& value) {
    fields += (fields.empty() ? "" : ",") + name + "=" + value;
}

// A band left or re-entered: a measurement of its own, tagged by the band, at its pulse.
std::string EventLine(const PulseReport::BandEvent& event, const std::string& tags,
                      int64_t unixNanoseconds) {
    const Excursion& excursion = event.excursion;
    std::string fields;
    Add(fields, "state", Quoted(event.started ? "started" : "ended"));
    Add(fields, "low", Number("%.3f", excursion.lowHz));
    Add(fields, "high", Number("%.3f", excursion.highHz));
    Add(fields, "extreme", Number("%.3f", excursion.extremeHz));
    Add(fields, "extreme_time", Quoted(FormatUtc(excursion.extremeNs)));
    Add(fields, "start_time", Quoted(FormatUtc(excursion.startNs)));
    if (!event.started) {
        Add(fields, "duration_s", Number("%.0f", excursion.Seconds(0)));
    }
    return "cyclara_event" + tags + ",band=" + Escaped(excursion.band, ", =") +
           ",unit=" + Escaped(excursion.unit, ", =") + " " + fields + " " +
           std::to_string(unixNanoseconds) + "\n";
}

}  // namespace

std::string LineProtocol(const PulseReport& report, const std::string& host,
                         const std::string& device) {
    std::string fields;
    if (const std::optional<PulseFigures>& figures = report.figures) {
        if (figures->frequencyTenMicroHz) {
            Add(fields, "frequency", FormatHertz(*figures->frequencyTenMicroHz));
        }
        if (figures->meanFrequencyTenMicroHz) {
            Add(fields, "mean_frequency", FormatHertz(*figures->meanFrequencyTenMicroHz));
        }
        Add(fields, "grid_time_deviation",
            Unsigned(FormatSignedSeconds(figures->gridTimeDeviationUs)));
        if (figures->intervalTicks > 0) {
            Add(fields, "interval_us",
                FormatIntervalMicroseconds(figures->intervalTicks,
                                           report.pulse->counterFrequency));
        }
        Add(fields, "elapsed", std::to_string(figures->seconds) + "i");
    }
    if (report.IsMeasured()) {
        Add(fields, "difference_us", std::to_string(report.pulse->differenceUs) + "i");
    }
    if (report.event.kind != RunEvent::Kind::kNone) {
        Add(fields, "event", Quoted(ValidUtf8(EventWords(report))));
    }
    if (report.uncertainty) {
        Add(fields, "frequency_uncertainty", Number("%.5f", report.uncertainty->frequencyHz));
        Add(fields, "mean_frequency_uncertainty",
            Number("%.7f", report.uncertainty->meanFrequencyHz));
        Add(fields, "grid_time_uncertainty", Number("%.6f", report.uncertainty->gridTimeSeconds));
    }
    Add(fields, "clock", Quoted(ClockWord(report.clock)));
    Add(fields, "clock_frequency_correction_ppm",
        Number("%.3f", report.clock.frequencyCorrectionPpm));
    Add(fields, "clock_rate_error_ppm", Number("%.3f", RateErrorPpm(report.clock)));
    if (!report.frequencyText.empty()) {
        Add(fields, "frequency_text", Quoted(ValidUtf8(report.frequencyText)));
    }
    const std::string tags = ",host=" + Escaped(host, ", =") + ",device=" + Escaped(device, ", =");
    std::string lines = "cyclara" + tags + " " + fields + " " +
                        std::to_string(report.unixNanoseconds) + "\n";
    for (const PulseReport::BandEvent& event : report.bandEvents) {
        lines += EventLine(event, tags, report.unixNanoseconds);
    }
    return lines;
}

}  // namespace cyclara::logger
