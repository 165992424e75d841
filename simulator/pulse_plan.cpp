#include "simulator/pulse_plan.h"

#include "simulator/frequency_profile.h"

#include <cmath>

namespace cyclara::simulator {

namespace {

// A real grid's frequency drifts over minutes, not from one second to the next: each step of
// the walk is a thirtieth of its bound, so crossing the band takes on the order of 900 pulses.
constexpr double kWanderStepsAcrossBound = 30.0;

}  // namespace

PulsePlan::PulsePlan(const PulseShape& shape) : m_shape(shape), m_random(shape.seed) {}

double PulsePlan::NextWanderPpm() {
    const double bound = m_shape.wanderPpm;
    if (bound <= 0) {
        return 0;
    }
    m_wanderPpm += m_unit(m_random) * bound / kWanderStepsAcrossBound;
    // Reflected at the bound, so the walk stays within it without piling up there.
    if (m_wanderPpm > bound) {
        m_wanderPpm = 2 * bound - m_wanderPpm;
    } else if (m_wanderPpm < -bound) {
        m_wanderPpm = -2 * bound - m_wanderPpm;
    }
    return m_wanderPpm;
}

double PulsePlan::ProfileStretch() const {
    if (m_shape.profile == nullptr) {
        return 1.0;
    }
    return m_shape.nominalHz / m_shape.profile->HertzAt(static_cast<double>(m_intervals) + 0.5);
}

int64_t PulsePlan::NextRiseNs() {
    if (m_first) {
        m_first = false;
    } else {
        const double stretch = (1.0 + (m_shape.offsetPpm + NextWanderPpm()) * 1e-6) *
                               ProfileStretch();
        m_idealNs += static_cast<double>(m_shape.periodNs) * stretch;
        ++m_intervals;
    }
    const double jitterNs = m_shape.jitterUs > 0 ? m_unit(m_random) * m_shape.jitterUs * 1e3 : 0;
    return std::llround(m_idealNs + jitterNs);
}

}  // namespace cyclara::simulator
