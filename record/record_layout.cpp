#include "record/record_layout.h"

#include "measure/wall_clock.h"

#include <algorithm>
#include <cstdio>

namespace cyclara {

namespace {

std::string Optional(const std::optional<int64_t>& hertz) {
    return hertz ? FormatHertz(*hertz) : "";
}

}  // namespace

std::string FormatRecordRow(const PulseReport& report) {
    std::string row = FormatUtc(report.unixNanoseconds) + ",";
    if (const std::optional<PulseFigures>& figures = report.figures) {
        const bool interval = figures->intervalTicks > 0;
        row += std::to_string(figures->seconds) + "," +
               (interval ? FormatIntervalMicroseconds(figures->intervalTicks,
                                                      report.pulse->counterFrequency)
                         : "") +
               "," + Optional(figures->frequencyTenMicroHz) + "," +
               Optional(figures->meanFrequencyTenMicroHz) + "," +
               FormatSignedSeconds(figures->gridTimeDeviationUs);
    } else {
        row += ",,,,";
    }
    char uncertainty[32] = "";
    if (report.uncertainty && report.figures && report.figures->frequencyTenMicroHz) {
        std::snprintf(uncertainty, sizeof uncertainty, "%.5f", report.uncertainty->frequencyHz);
    }
    std::string event = EventWords(report);
    // A comma would move every later column; the record's readers split on them.
    std::replace(event.begin(), event.end(), ',', ';');
    for (const PulseReport::BandEvent& band : report.bandEvents) {
        event += (event.empty() ? "" : "; ") + BandEventText(band);
    }
    const std::string nominal = report.nominalHz != 0 ? std::to_string(report.nominalHz) : "";
    return row + "," + event + "," + uncertainty + "," + ClockWord(report.clock) + "," + nominal +
           "," + std::to_string(kRecordLayout) + "\n";
}

std::string FormatUnrecordedRow(int64_t unixNanoseconds, uint64_t missing) {
    return FormatUtc(unixNanoseconds) + ",,,,,," + record_event::kUnrecorded + " " +
           std::to_string(missing) + ",,,," + std::to_string(kRecordLayout) + "\n";
}

}  // namespace cyclara
