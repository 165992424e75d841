// When the simulated device's edges fall: a nominal period stretched by a constant offset and
// a slow random wander of the mains frequency, with random timing jitter on each rise.
#pragma once

#include <cstdint>
#include <random>

namespace cyclara::simulator {

class FrequencyProfile;

struct PulseShape {
    int64_t periodNs = 1'000'000'000;
    double offsetPpm = 0;  // positive: the device's seconds last longer than true ones
    double jitterUs = 0;   // standard deviation of each rise's timing error
    double wanderPpm = 0;  // bound of the slow random walk added to the offset
    uint64_t seed = 1;
    // The grid's frequency over the pulses' own seconds (pulse n at n - 1 seconds, whatever the
    // period): each interval is the nominal's cycles at the frequency of its middle. None: the
    // nominal frequency throughout.
    const FrequencyProfile* profile = nullptr;
    double nominalHz = 50;
};

class PulsePlan {
  public:
    explicit PulsePlan(const PulseShape& shape);

    // The rise of the next pulse, in nanoseconds after the first one (which is at 0). Jitter
    // moves each rise on its own and never accumulates; the offset and wander do, as a grid's
    // clock does.
    int64_t NextRiseNs();

  private:
    double NextWanderPpm();
    double ProfileStretch() const;

    PulseShape m_shape;
    std::mt19937_64 m_random;
    std::normal_distribution<double> m_unit{0.0, 1.0};
    double m_idealNs = 0;  // the jitter-free rise of the pulse most recently planned
    double m_wanderPpm = 0;
    bool m_first = true;
    int64_t m_intervals = 0;  // planned so far
};

}  // namespace cyclara::simulator
