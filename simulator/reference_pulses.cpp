#include "simulator/reference_pulses.h"

#include "simulator/run_signals.h"

#include <csignal>
#include <cmath>
#include <optional>
#include <random>

namespace cyclara::simulator {

namespace {

constexpr int64_t kWidthNs = 100'000'000;

// The run's signals belong to the pulse thread, whose sleeps they must end.
void LeaveSignalsToOthers() {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
}

}  // namespace

ReferencePulses::ReferencePulses(const ReferenceShape& shape, ModemControl& modem, int slot,
                                 EventWriter event)
    : m_shape(shape), m_modem(modem), m_slot(slot), m_event(std::move(event)) {
    m_thread = std::thread([this] { Send(); });
}

ReferencePulses::~ReferencePulses() {
    m_stopping = true;
    m_thread.join();
}

void ReferencePulses::Send() {
    LeaveSignalsToOthers();
    std::mt19937_64 random(m_shape.seed ^ 0x9e3779b9);
    std::normal_distribution<double> jitter(0.0, m_shape.jitterUs * 1e3);
    const double secondNs = 1e9 * (1 + m_shape.offsetPpm * 1e-6);
    // Half a second in, so its edges fall between the mains pulses' rather than on them.
    const int64_t start = MonotonicNs() + 500'000'000;
    for (int64_t n = 1; !m_stopping && (m_shape.count == 0 || n <= m_shape.count); ++n) {
        const int64_t rise =
            start + std::llround(static_cast<double>(n - 1) * secondNs + jitter(random));
        if (!SleepUntil(rise) || m_stopping) {
            return;
        }
        m_event("reference", n, "", m_modem.SetDcd(m_slot, true));
        const uint32_t count = m_modem.DcdCount(m_slot);
        if (!SleepUntil(rise + kWidthNs)) {
            return;
        }
        if (const std::optional<int64_t> seen = m_modem.DcdSeenNanoseconds(m_slot, count)) {
            m_event("seen", n, "reference", *seen);
        }
        m_modem.SetDcd(m_slot, false);
    }
}

}  // namespace cyclara::simulator
