#include "measure/clock_state.h"

#include "measure/time_spans.h"

#include <sys/timex.h>
#include <time.h>

#include <cstdio>
#include <limits>
#include <sstream>
#include <vector>

namespace cyclara {

namespace {

// chrony's estimate of the rate error ("Skew" of `chronyc tracking`, in ppm), where chronyd
// runs and answers; its comma-separated form puts the skew tenth.
std::optional<double> ChronySkewPpm() {
    FILE* chronyc = popen("chronyc -c tracking 2>/dev/null", "r");
    if (chronyc == nullptr) {
        return std::nullopt;
    }
    char line[512] = "";
    const bool read = std::fgets(line, sizeof line, chronyc) != nullptr;
    pclose(chronyc);
    std::vector<std::string> fields;
    std::stringstream stream(read ? line : "");
    for (std::string field; std::getline(stream, field, ',');) {
        fields.push_back(field);
    }
    double skew = 0;
    if (fields.size() < 14 || std::sscanf(fields[9].c_str(), "%lf", &skew) != 1) {
        return std::nullopt;
    }
    return skew;
}

}  // namespace

// Read only: no mode bits, so no privilege is needed and nothing is changed. The kernel's
// estimated error is not used: systemd-timesyncd leaves it at 0.
ClockState ReadClockState() {
    timex kernel{};
    const int result = adjtimex(&kernel);
    if (result < 0) {
        return ClockState{};
    }
    ClockState state = KernelClockState(result == TIME_ERROR || (kernel.status & STA_UNSYNC) != 0,
                                        kernel.maxerror, static_cast<double>(kernel.freq) / 65536.0);
    if (state.discipline == ClockState::Discipline::kSynchronised) {
        if (const std::optional<double> skew = ChronySkewPpm()) {
            state.rateErrorPpm = skew;
            state.estimatedBy = "chrony";
        }
    }
    return state;
}

// The raw clock read on both sides of the disciplined one: their midpoint stands for the moment.
std::optional<ClockPair> ReadClockPair() {
    const auto read = [](clockid_t clock) {
        timespec now{};
        clock_gettime(clock, &now);
        return static_cast<int64_t>(now.tv_sec) * kSecondNs + now.tv_nsec;
    };
    // The tightest of three tries: a thread preempted between the reads would put microseconds
    // between them, a ppm of error in a rate taken over a second.
    ClockPair tightest;
    int64_t tightestNs = std::numeric_limits<int64_t>::max();
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int64_t before = read(CLOCK_MONOTONIC_RAW);
        const int64_t disciplined = read(CLOCK_MONOTONIC);
        const int64_t after = read(CLOCK_MONOTONIC_RAW);
        if (after - before < tightestNs) {
            tightestNs = after - before;
            tightest = ClockPair{before + (after - before) / 2, disciplined};
        }
    }
    return tightest;
}

}  // namespace cyclara
