// Meters' states as they arrive through a broker, each meter's kept for a sliding window of
// UTC seconds, and every pair of them compared over it as their files would be: what the live
// comparison shows. Time comes in with each call.
#pragma once

#include "compare/comparison.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace cyclara::compare {

// One state a meter published: its pulse's UTC time and what it read then.
struct StateReading {
    int64_t utcNs = 0;
    std::optional<double> hertz;          // none for a pulse without a reading
    std::string clock;                    // the meter's clock word ("synchronised", ...)
    std::optional<double> uncertaintyHz;  // its one-second frequency's
};

enum class MeterState {
    kLive,
    kQuiet,           // nothing published for kQuietAfterNs
    kUnsynchronised,  // its clock's UTC cannot be trusted: its seconds pair with no one's
};

struct MeterView {
    std::string name;
    MeterState state = MeterState::kLive;
    std::optional<double> lastHertz;
    std::string clock;
    int64_t lastUtcNs = 0;
    size_t seconds = 0;  // in the window
    int64_t leftOut = 0;  // readings beyond what a grid can do, since the start
};

// The phase between two sites' cycles, from the UTC times of their pulses.
struct PhaseView {
    std::optional<double> degrees;  // B's pulses after A's, as a part of the cycle
    double uncertaintyDegrees = 0;
    std::string whyNot;  // where no phase is given
};

struct PairView {
    std::string a, b;
    std::optional<Comparison> comparison;
    std::string whyNot;  // where there is no comparison
    PhaseView phase;
};

struct LiveView {
    std::vector<MeterView> meters;  // by name
    std::vector<PairView> pairs;    // each meter with each later one
};

class LiveMeters {
  public:
    static constexpr int64_t kQuietAfterNs = 10'000'000'000;
    // Beyond this a phase rests on timestamps too uncertain to place a site in its cycle.
    static constexpr double kLargestPhaseUncertaintyDegrees = 10.0;

    explicit LiveMeters(int64_t windowSeconds) : m_windowSeconds(windowSeconds) {}

    // The broker's thread: a state of meter `name`, received at monotonic `receivedNs`.
    void Take(const std::string& name, const StateReading& reading, int64_t receivedNs);
    // Any thread: the meters and their pairs as of monotonic `nowNs`.
    LiveView View(int64_t nowNs) const;

  private:
    struct Second {
        double hertz = 0;
        int64_t utcNs = 0;
        std::optional<double> uncertaintyHz;
    };
    struct Meter {
        std::map<int64_t, Second> seconds;  // by the UTC second the interval's middle is in
        StateReading last;
        int64_t receivedNs = 0;
        int64_t leftOut = 0;  // readings beyond what a grid can do, since the start
    };

    MeterView ViewOf(const std::string& name, const Meter& meter, int64_t nowNs) const;
    PairView PairOf(const MeterView& a, const MeterView& b) const;
    Series SeriesOf(const std::string& name) const;
    PhaseView PhaseOf(const std::string& a, const std::string& b) const;

    const int64_t m_windowSeconds;
    // Written by the broker's thread, read by the page's threads and the main thread.
    mutable std::mutex m_mutex;
    std::map<std::string, Meter> m_meters;
};

const char* MeterStateName(MeterState state);

}  // namespace cyclara::compare
