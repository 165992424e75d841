// The worker that waits on the serial device from the port's opening to its closing: DSR
// changes go to the pulse measurement, received bytes to the line assembler.
#pragma once

#include "measure/stop_signal.h"
#include "measure/worker_thread.h"

#include <cstdint>

namespace cyclara {

class CommDevice;
class LineAssembler;
class MeasurementDisplay;
class MeasurementLog;
class PulseState;

class Receiver {
  public:
    // Bounds the user-interface thread's wait for a stop; past it the worker is ended by force.
    static constexpr std::chrono::milliseconds kStopWait{1000};
    // The pause after a failed wait, so that a removed device cannot make the worker spin.
    static constexpr std::chrono::milliseconds kFailedWaitPause{100};

    Receiver(MeasurementLog& log, LineAssembler& lines);
    ~Receiver();
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    // User-interface thread, right after the port opened: clears the stop flag and starts a
    // worker with a fresh pulse measurement and a new log file. At most one worker exists.
    void StartThread(CommDevice& device, MeasurementDisplay& display);

    // User-interface thread, before the port closes: stops the worker within about kStopWait
    // and leaves the stop flag at 0. Returns at once when no worker exists.
    void EndThread();

    // The stop that display updates from the worker must give way to.
    StopSignal& Stop() { return m_stop; }

    // Whether the last EndThread had to end the worker by force.
    bool LastStopWasForced() const { return m_lastStopForced; }

  private:
    void ReceiveThread();
    void HandleDsrChange(PulseState& pulses);
    void HandleReceivedBytes();

    MeasurementLog& m_log;
    LineAssembler& m_lines;
    // Set by StartThread on the user-interface thread before the worker exists, then only
    // read by the worker; not changed again until EndThread has returned.
    CommDevice* m_device = nullptr;
    MeasurementDisplay* m_display = nullptr;
    StopSignal m_stop;
    WorkerThread m_thread;          // user-interface thread only
    bool m_lastStopForced = false;  // user-interface thread only
};

// The program's receiver, with its log and line assembler.
Receiver& ProcessReceiver();

}  // namespace cyclara
