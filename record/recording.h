// A recording to analyse as if it were being measured: one reading a second from this
// program's record (the intervals as they were measured), from the open power-grid-frequency
// database's one-second files (UTC time, deviation from the nominal frequency in mHz), or from a
// plain "time,hertz" CSV as operators publish them (the time in UTC or Unix seconds).
//
// A one-second file gives each second's mean frequency, not its edges: its intervals are the
// ones that frequency implies, so the figures made of it (the grid time, the bands, the
// statistics) are the file's, and the timestamps' scatter is none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cyclara {

struct RecordedSecond {
    int64_t unixNs = 0;      // the reading's time, as the recording gives it
    int64_t intervalNs = 0;  // since the last counted edge; 0 for the first of a stretch
    bool glitch = false;     // an edge the record called one: not counted

    bool operator==(const RecordedSecond&) const = default;
};

struct Recording {
    enum class Form { kRecord, kDeviationMillihertz, kHertz };
    Form form = Form::kRecord;
    int nominalHz = 0;  // as the recording or the caller says
    std::vector<RecordedSecond> seconds;
};

// "the record's layout", "one-second deviations in mHz", "time,hertz": what was assumed.
const char* FormName(Recording::Form form);

// A gap longer than this between two readings of a one-second file ends a stretch: what the
// grid did in it is not known, so the next reading starts again.
inline constexpr int64_t kLongestGapNs = 1'500'000'000;

// One file (plain or compressed) of any of the three forms. `nominalHz` 50 or 60 says the
// nominal frequency; 0 takes the record's own, or the readings' nearest. None with `whyNot`
// naming the file and line when it is none of them.
std::optional<Recording> ReadRecording(const std::string& path, int nominalHz,
                                       std::string& whyNot);

}  // namespace cyclara
