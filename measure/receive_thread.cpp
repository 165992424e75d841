#include "measure/receive_thread.h"

#include "measure/counter.h"
#include "measure/line_assembler.h"
#include "measure/measurement_log.h"
#include "measure/pulse_state.h"
#include "serial/comm_device.h"

namespace cyclara {

Receiver::Receiver(MeasurementLog& log, LineAssembler& lines) : m_log(log), m_lines(lines) {}

Receiver::~Receiver() {
    EndThread();
}

void Receiver::StartThread(CommDevice& device, MeasurementDisplay& display) {
    m_device = &device;
    m_display = &display;
    m_stop.Clear();
    m_thread.Start([this] { ReceiveThread(); });
}

void Receiver::EndThread() {
    if (!m_thread.Exists()) {
        m_stop.Clear();
        return;
    }
    m_stop.Request();
    // Dropping kEvDsr from the mask ends the worker's wait, so it sees the request at once.
    m_device->SetEventMask(kEvRxChar);
    m_lastStopForced = !m_thread.Join(kStopWait);
    if (m_lastStopForced) {
        m_thread.Terminate();
    }
    m_stop.Clear();
}

void Receiver::ReceiveThread() {
    PulseState pulses(*m_display, m_log);
    pulses.Reset(ReadCounterFrequency());
    m_log.WriteLog(kLogCreate, 0, 0, 0, 0, 0);
    m_device->PrepareWaitingThread();
    m_device->SetEventMask(kEvRxChar | kEvDsr);

    bool failing = false;
    for (;;) {
        uint32_t events = 0;
        const bool waited = m_device->WaitEvent(events);
        if (m_stop.IsRequested()) {
            break;
        }
        if (!waited) {
            // A device that fails (pulled out, driver error) fails again at once: unlight the
            // lamp once and pause, so the loop cannot spin.
            if (!failing) {
                pulses.OnDsrOff();
            }
            failing = true;
            m_stop.Sleep(kFailedWaitPause);
            continue;
        }
        failing = false;
        // DSR first: its timestamp is the measurement, the text can wait.
        if (events & kEvDsr) {
            HandleDsrChange(pulses);
        }
        if (events & kEvRxChar) {
            HandleReceivedBytes();
        }
    }
    m_stop.Acknowledge();
}

void Receiver::HandleDsrChange(PulseState& pulses) {
    DsrChange change;
    if (!m_device->ReadDsrChange(change)) {
        return;
    }
    if (change.pulse) {
        pulses.OnDsrOn(change.pulseTicks);
    }
    if (!change.on) {
        pulses.OnDsrOff();
    }
}

void Receiver::HandleReceivedBytes() {
    char buffer[kReadChunkBytes];
    const uint32_t count = m_device->Read(buffer, kReadChunkBytes);
    for (uint32_t i = 0; i < count; ++i) {
        m_lines.AppendLineChar(buffer[i], *m_display);
    }
}

Receiver& ProcessReceiver() {
    static Receiver receiver(ProcessMeasurementLog(), ProcessLineAssembler());
    return receiver;
}

}  // namespace cyclara
