// How stable the grid's seconds are, from the record: the overlapping Allan deviation of the
// frequency and the time deviation, over averaging times from 1 s up to a third of the longest
// unbroken run. At short times they show the timing path (its scatter falls as 1/tau in the
// Allan deviation, flat-to-falling in the time deviation); at long times mostly the grid.
#pragma once

#include "record/record_file.h"

#include <vector>

namespace cyclara::plot {


struct StabilityPoint {
    double tauSeconds = 0;
    double allanDeviation = 0;        // of the fractional frequency
    double timeDeviationSeconds = 0;  // of the grid's clock
};

// The grid time deviation at each counted second, in unbroken runs: a start, a lost pulse, an
// irregular interval or the device away ends one; a glitch, which counted nothing, does not.
std::vector<std::vector<double>> PhaseRuns(const std::vector<RecordRow>& rows);

// At tau of 1, 2, 4... seconds, from runs of time errors one second apart.
std::vector<StabilityPoint> Stability(const std::vector<std::vector<double>>& runs);

}  // namespace cyclara::plot
