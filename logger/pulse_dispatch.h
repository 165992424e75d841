// Where the receive thread meets the measurement: what it shows the window (the counted
// pulses, the frequency lines, the indicator) goes on to the one pipeline, with the reference
// second's rises, and a stop is asked for after the pulses the user wanted.
#pragma once

#include "grid/pulse_pipeline.h"
#include "logger/stop_request.h"
#include "measure/measurement_display.h"
#include "serial/comm_device.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace cyclara::logger {

class PulseDispatch : public MeasurementDisplay {
  public:
    // Asks for a stop after `count` measured pulses (0: never).
    PulseDispatch(PulsePipeline& pipeline, int64_t count, StopRequest& stop)
        : m_pipeline(pipeline), m_count(count), m_stop(stop) {}

    // The main thread, before each receive thread starts: `reference` is the device whose DCD
    // carries a reference second, if any, used by the receive thread until the next run.
    void StartRun(CommDevice* reference);
    // The main thread, once the receive thread has ended: the run's last pulse is decided.
    void EndRun() { m_pipeline.EndRun(); }

    // The receive thread's, like the window's fields.
    void SetFieldText(int, const char*) override {}
    void SetIndicator(bool lit) override;
    void OnDeviceFigure(const char* figure) override;
    void OnCountedPulse(const CountedPulse& pulse) override;

    // Any thread: the rising edges and the device's lines seen since the start.
    int64_t Rises() const { return m_rises; }
    int64_t Lines() const { return m_lines; }

  private:
    void TakeReferenceRises();

    PulsePipeline& m_pipeline;
    const int64_t m_count;
    StopRequest& m_stop;
    // The receive thread's while it runs; the main thread's between runs.
    int64_t m_measured = 0;
    CommDevice* m_reference = nullptr;
    std::vector<int64_t> m_referenceRises;
    // Written by the receive thread, read by any.
    std::atomic<int64_t> m_rises{0};
    std::atomic<int64_t> m_lines{0};
};

}  // namespace cyclara::logger
