#include "record/recording.h"

#include "grid/grid_figures.h"
#include "record/day_compression.h"
#include "record/record_file.h"
#include "record/record_layout.h"
#include "record/utc_time.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace cyclara {

namespace {

// A recording as big as a month of one-second lines.
constexpr size_t kLargestText = 512u << 20;

bool IsHertz(double value) {
    return value > 40.0 && value < 70.0;
}

std::optional<double> Value(const std::string& field) {
    double value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// The time field: a UTC time, or Unix seconds.
std::optional<int64_t> TimeNs(const std::string& field) {
    const std::optional<double> seconds = UtcSeconds(field);
    const std::optional<double> unixSeconds = seconds ? seconds : Value(field);
    return unixSeconds ? std::optional(std::llround(*unixSeconds * 1e9)) : std::nullopt;
}

// The record's rows that end the measurement's stretch: what follows starts again.
bool EndsStretch(const std::string& event) {
    return event == record_event::kDeviceLost || event == record_event::kStop ||
           event.rfind(record_event::kUnrecorded, 0) == 0;
}

bool StartsStretch(const std::string& event) {
    return event == record_event::kStart || event == record_event::kCounterBack;
}

std::optional<Recording> FromRecord(const ParsedRecord& record, int nominalHz) {
    Recording recording;
    recording.form = Recording::Form::kRecord;
    bool inStretch = false;
    for (const RecordRow& row : record.rows) {
        if (nominalHz == 0 && row.nominalHz != 0) {
            nominalHz = row.nominalHz;
        }
        if (nominalHz == 0 && row.frequency) {
            nominalHz = NominalNear(*row.frequency);
        }
        if (EndsStretch(row.event)) {
            inStretch = false;
        } else if (StartsStretch(row.event)) {
            inStretch = true;
            recording.seconds.push_back({row.unixMicroseconds * 1000, 0, false});
        } else if (inStretch && row.intervalUs) {
            recording.seconds.push_back({row.unixMicroseconds * 1000,
                                         std::llround(*row.intervalUs * 1000),
                                         row.event == record_event::kGlitch});
        }
    }
    recording.nominalHz = nominalHz;
    return recording;
}

// Splits "time,value", "time;value" or "time<TAB>value".
bool SplitLine(const std::string& line, std::string& time, std::string& value) {
    const size_t at = line.find_first_of(",;\t");
    if (at == std::string::npos) {
        return false;
    }
    time = line.substr(0, at);
    const size_t next = line.find_first_of(",;\t", at + 1);
    value = line.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
    return true;
}

std::optional<Recording> FromLines(const std::string& path, const std::string& text,
                                   int nominalHz, std::string& whyNot) {
    Recording recording;
    std::istringstream lines(text);
    std::optional<int64_t> lastNs;
    size_t number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::string timeField, valueField;
        if (line.empty() || line[0] == '#' || !SplitLine(line, timeField, valueField)) {
            continue;
        }
        const std::optional<int64_t> timeNs = TimeNs(timeField);
        const std::optional<double> value = Value(valueField);
        if (!timeNs || !value) {
            if (recording.seconds.empty() && lastNs == std::nullopt && number == 1) {
                continue;  // a header line
            }
            whyNot = path + " line " + std::to_string(number) + " is no \"time,value\" line";
            return std::nullopt;
        }
        if (!lastNs) {
            recording.form = IsHertz(*value) ? Recording::Form::kHertz
                                             : Recording::Form::kDeviationMillihertz;
            nominalHz = nominalHz != 0 ? nominalHz
                        : recording.form == Recording::Form::kHertz ? NominalNear(*value)
                                                                     : 50;
        }
        const double hertz =
            recording.form == Recording::Form::kHertz ? *value : nominalHz + *value / 1000;
        if (hertz <= 0 || (lastNs && *timeNs <= *lastNs)) {
            whyNot = path + " line " + std::to_string(number) +
                     ": times must rise and frequencies be positive";
            return std::nullopt;
        }
        // The second that ends at this label lasted as long as its frequency says.
        const bool continues = lastNs && *timeNs - *lastNs <= kLongestGapNs;
        recording.seconds.push_back(
            {*timeNs, continues ? std::llround(1e9 * nominalHz / hertz) : 0, false});
        lastNs = timeNs;
    }
    recording.nominalHz = nominalHz;
    return recording;
}

}  // namespace

const char* FormName(Recording::Form form) {
    switch (form) {
        case Recording::Form::kRecord:
            return "the record's layout";
        case Recording::Form::kDeviationMillihertz:
            return "one-second deviations in mHz";
        case Recording::Form::kHertz:
            return "time,hertz";
    }
    return "";
}

std::optional<Recording> ReadRecording(const std::string& path, int nominalHz,
                                       std::string& whyNot) {
    std::string text;
    if (!ReadDayText(path, kLargestText, text)) {
        whyNot = path + " cannot be read whole (missing, damaged, or over " +
                 std::to_string(kLargestText >> 20) + " MiB of text)";
        return std::nullopt;
    }
    const ParsedRecord record = ParseRecord(text);
    std::optional<Recording> recording =
        record.problem.empty() ? FromRecord(record, nominalHz)
                               : FromLines(path, text, nominalHz, whyNot);
    if (recording && recording->seconds.empty()) {
        whyNot = path + " holds no reading";
        return std::nullopt;
    }
    return recording;
}

}  // namespace cyclara
