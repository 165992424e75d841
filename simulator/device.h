// The measuring device: what it sends and when. Each rise and fall, each line and fault, and
// when the program under test learnt of each change go to the events file.
#pragma once

#include "simulator/modem_control.h"
#include "simulator/plug.h"
#include "simulator/sim_options.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <utility>

namespace cyclara::simulator {

class Device {
  public:
    Device(const SimOptions& o, Plug& plug, ModemControl& modem, std::FILE* events)
        : m_o(o),
          m_plug(plug),
          m_modem(modem),
          m_events(events),
          m_noise(o.shape.seed ^ 0x5eed) {}

    // Waits until a program watches the line, so the first pulse is not sent into nothing.
    bool AwaitWatcher();
    // The pulses, lines and faults the options ask for, until they are sent or a stop comes.
    void Run();

  private:
    void SendPulses();
    // Pulls the device out after pulse `n` and, if asked, plugs it back; false if the run
    // ends first.
    bool PullOutAndBack(int64_t n);
    bool SendPulse(int64_t n, int64_t fall);
    // The spurious pulse asked for after pulse n's rise, if any; false when interrupted.
    bool SendSpurious(int64_t n, int64_t rise, int64_t widthNs);
    void Change(int64_t n, bool on);
    // When the program learnt of the latest change, if it has: a rise it learnt of only with
    // its fall (the pulse was over before it looked) has its fall's time.
    void ReportSeen();
    void SendLines(int64_t n);
    // Random bytes that never end a line and never read as a frequency line.
    std::string NoiseLine();
    void Event(const char* what, int64_t n, const std::string& detail, int64_t ns = 0);

    const SimOptions& m_o;
    Plug& m_plug;
    ModemControl& m_modem;
    std::FILE* const m_events;
    std::mt19937_64 m_noise;
    std::optional<std::pair<int64_t, bool>> m_unseen;  // the latest change: pulse, rise
};

}  // namespace cyclara::simulator
