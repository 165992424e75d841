// Whether the measurement moves, for the service manager's watchdog: pulses arrive, or the
// device is away and awaited. A device that is there but sends nothing for kQuietAfter is a
// state of its own, told once; the watchdog is then no longer fed, so a logger stuck behind
// its port is restarted, which opens the port anew (a wedged adapter's usual remedy). A
// device whose own supply failed restarts it too, once a watchdog period, and says so.
#pragma once

#include <chrono>
#include <cstdint>

namespace cyclara::logger {

class PipelineWatch {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kQuietAfter{10};

    enum class Change { kNone, kQuiet, kPulsesAgain };

    // The main thread, each time it looks: the rising edges seen since the start, at `now`.
    Change Look(int64_t rises, Clock::time_point now);
    // The device is away and awaited, or a new opening begins: the wait is the pipeline's own.
    void Waiting(Clock::time_point now);
    bool Moving() const { return !m_quiet; }

  private:
    int64_t m_rises = -1;
    Clock::time_point m_lastMove{};
    bool m_quiet = false;
};

}  // namespace cyclara::logger
