#include "plot/stability.h"

#include "record/record_layout.h"

#include <algorithm>
#include <cmath>

namespace cyclara::plot {

namespace {

// Sums over every run for one averaging factor m: the Allan variance's squared second
// differences, and the modified one's squared sums of m of them, with their counts.
struct Sums {
    double allan = 0;
    double allanTerms = 0;
    double modified = 0;
    double modifiedTerms = 0;
};

void AddRun(const std::vector<double>& x, size_t m, Sums& sums) {
    if (x.size() < 2 * m + 1) {
        return;
    }
    std::vector<double> prefix{0};
    for (size_t i = 0; i + 2 * m < x.size(); ++i) {
        const double second = x[i + 2 * m] - 2 * x[i + m] + x[i];
        sums.allan += second * second;
        sums.allanTerms += 1;
        prefix.push_back(prefix.back() + second);
    }
    for (size_t j = 0; j + m < prefix.size(); ++j) {
        const double window = prefix[j + m] - prefix[j];
        sums.modified += window * window;
        sums.modifiedTerms += 1;
    }
}

// Where the seconds no longer follow one another: a new reference, a gap of lost pulses, an
// interval of no whole second, the device away, the grid time moved. A band crossed, a cycle
// slip (counted as the cycles it held), the clock's state or the reference found or lost
// leave the phase as it was, and cutting there would drop the most disturbed stretches.
bool BreaksThePhase(const std::string& event) {
    for (const char* word :
         {record_event::kStart, record_event::kIrregular, record_event::kCounterBack,
          record_event::kLost, record_event::kUnrecorded, record_event::kDeviceLost,
          record_event::kDeviceBack, record_event::kStop, record_event::kNoPulses,
          record_event::kPulsesAgain, record_event::kGridTimeAnchored, record_event::kNewEpoch,
          record_event::kBridged}) {
        if (event.rfind(word, 0) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

// A row that breaks the phase begins the next run with its own point: the seconds follow one
// another from it on.
std::vector<std::vector<double>> PhaseRuns(const std::vector<RecordRow>& rows) {
    std::vector<std::vector<double>> runs(1);
    for (const RecordRow& row : rows) {
        if (row.event == record_event::kGlitch) {
            continue;
        }
        if (BreaksThePhase(row.event) || !row.gridTime) {
            runs.emplace_back();
        }
        if (row.gridTime && row.event != record_event::kIrregular) {
            runs.back().push_back(*row.gridTime);
        }
    }
    runs.erase(std::remove_if(runs.begin(), runs.end(),
                              [](const std::vector<double>& run) { return run.size() < 3; }),
               runs.end());
    return runs;
}

std::vector<StabilityPoint> Stability(const std::vector<std::vector<double>>& runs) {
    size_t longest = 0;
    for (const std::vector<double>& run : runs) {
        longest = std::max(longest, run.size());
    }
    std::vector<StabilityPoint> points;
    for (size_t m = 1; 3 * m <= longest; m *= 2) {
        Sums sums;
        for (const std::vector<double>& run : runs) {
            AddRun(run, m, sums);
        }
        if (sums.allanTerms == 0 || sums.modifiedTerms == 0) {
            continue;
        }
        const double tau = static_cast<double>(m);
        const double allanVariance = sums.allan / (2 * tau * tau * sums.allanTerms);
        const double timeVariance =
            sums.modified / (6 * tau * tau * sums.modifiedTerms);
        points.push_back({tau, std::sqrt(allanVariance), std::sqrt(timeVariance)});
    }
    return points;
}

}  // namespace cyclara::plot
