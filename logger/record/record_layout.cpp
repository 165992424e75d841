#include "logger/record/record_layout.h"

#include "measure/wall_clock.h"

namespace cyclara::logger {

namespace {

std::string Optional(const std::optional<int64_t>& hertz) {
    return hertz ? FormatHertz(*hertz) : "";
}

}  // namespace

std::string EventOf(const PulseFigures& figures) {
    switch (figures.kind) {
        case PulseFigures::Kind::kReference:
            return record_event::kStart;
        case PulseFigures::Kind::kIrregular:
            return record_event::kIrregular;
        case PulseFigures::Kind::kCounterBack:
            return record_event::kCounterBack;
        case PulseFigures::Kind::kGlitch:
            return record_event::kGlitch;
        case PulseFigures::Kind::kMeasured:
            break;
    }
    return figures.lost > 0 ? std::string(record_event::kLost) + " " +
                                  std::to_string(figures.lost)
                            : "";
}

std::string FormatRecordRow(int64_t unixNanoseconds, const std::optional<PulseFigures>& figures,
                            const std::string& event, int64_t counterFrequency) {
    std::string row = FormatUtc(unixNanoseconds) + ",";
    if (figures) {
        const bool interval = figures->intervalTicks > 0;
        row += std::to_string(figures->seconds) + "," +
               (interval ? FormatIntervalMicroseconds(figures->intervalTicks, counterFrequency)
                         : "") +
               "," + Optional(figures->frequency) + "," + Optional(figures->meanFrequency) + "," +
               FormatSignedSeconds(figures->gridTimeDeviationUs);
    } else {
        row += ",,,,";
    }
    return row + "," + event + "\n";
}

}  // namespace cyclara::logger
