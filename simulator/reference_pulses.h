// A GPS receiver's PPS on the device's DCD: true seconds beside the mains pulses, with their
// own offset from the machine's clock and their own jitter, so a test knows the truth the
// program measures against. Each rise goes to the events file as "reference", and when the
// program's wait on DCD returned for it as "seen ... reference".
#pragma once

#include "simulator/modem_control.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <thread>

namespace cyclara::simulator {

struct ReferenceShape {
    bool on = false;
    double offsetPpm = 0;  // positive: its seconds last longer than the machine's
    double jitterUs = 0;   // standard deviation of each rise's timing error
    int64_t count = 0;     // rises before it falls silent, as a receiver that lost its fix; 0: no end
    uint64_t seed = 1;
};

class ReferencePulses {
  public:
    // `event` writes one line of the events file; called on the reference's own thread.
    using EventWriter =
        std::function<void(const char* what, int64_t n, const char* detail, int64_t ns)>;

    ReferencePulses(const ReferenceShape& shape, ModemControl& modem, int slot, EventWriter event);
    // Stops the pulses: within one pulse's sleep.
    ~ReferencePulses();
    ReferencePulses(const ReferencePulses&) = delete;
    ReferencePulses& operator=(const ReferencePulses&) = delete;

  private:
    void Send();

    const ReferenceShape m_shape;
    ModemControl& m_modem;
    const int m_slot;
    const EventWriter m_event;
    std::atomic<bool> m_stopping{false};  // written by the destructor, read by the thread
    std::thread m_thread;                 // last: started once the rest is in place
};

}  // namespace cyclara::simulator
