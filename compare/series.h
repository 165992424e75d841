// A meter's readings as one frequency per UTC second, whatever form its recording has, so two
// meters (or a meter and the grid operator) can be compared second by second.
#pragma once

#include "record/recording.h"

#include <cstdint>
#include <map>
#include <string>

namespace cyclara::compare {

// Where in a reading's interval its time label lies. This program's record labels the edge
// that ends each interval; published one-second files differ, and the choice moves the lag
// found by up to a second.
enum class Label { kStart, kMiddle, kEnd };

const char* LabelName(Label label);

struct Series {
    std::string name;
    int nominalHz = 0;
    std::map<int64_t, double> hertzBySecond;  // by the UTC second the interval's middle is in
    int64_t leftOut = 0;  // glitches, and readings outside what a grid can do (45 to 65 Hz)
};

// The UTC second a moment lies in.
int64_t SecondOf(int64_t unixNs);
// Whether a reading lies within what a grid's frequency can be, at either nominal frequency.
bool CanBeAGrid(double hertz);

// The readings of `recording` by UTC second, each interval's middle found from `label`.
Series SeriesOf(const std::string& name, const Recording& recording, Label label);

}  // namespace cyclara::compare
