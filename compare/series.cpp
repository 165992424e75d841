#include "compare/series.h"

#include "measure/time_spans.h"

#include <cmath>

namespace cyclara::compare {

namespace {

// What a grid's frequency can be, at either nominal frequency; beyond it a reading is an
// artefact of the meter.
constexpr double kLowestHz = 45.0;
constexpr double kHighestHz = 65.0;

}  // namespace

// Floor division: seconds before 1970 round down too.
int64_t SecondOf(int64_t unixNs) {
    return unixNs >= 0 ? unixNs / kSecondNs : -((-unixNs + kSecondNs - 1) / kSecondNs);
}

bool CanBeAGrid(double hertz) {
    return hertz >= kLowestHz && hertz <= kHighestHz;
}

const char* LabelName(Label label) {
    switch (label) {
        case Label::kStart:
            return "start";
        case Label::kMiddle:
            return "middle";
        case Label::kEnd:
            return "end";
    }
    return "";
}

Series SeriesOf(const std::string& name, const Recording& recording, Label label) {
    Series series;
    series.name = name;
    series.nominalHz = recording.nominalHz;
    for (const RecordedSecond& second : recording.seconds) {
        if (second.intervalNs <= 0) {
            continue;  // a stretch's first edge closes no interval
        }
        const int64_t seconds = std::llround(static_cast<double>(second.intervalNs) / kSecondNs);
        const double hertz = recording.nominalHz * static_cast<double>(seconds) * kSecondNs /
                             static_cast<double>(second.intervalNs);
        if (second.glitch || seconds < 1 || !CanBeAGrid(hertz)) {
            ++series.leftOut;
            continue;
        }
        const int64_t middleNs = label == Label::kEnd     ? second.unixNs - second.intervalNs / 2
                                 : label == Label::kStart ? second.unixNs + second.intervalNs / 2
                                                          : second.unixNs;
        series.hertzBySecond[SecondOf(middleNs)] = hertz;
    }
    return series;
}

}  // namespace cyclara::compare
