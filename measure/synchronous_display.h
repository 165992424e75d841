// Carries the receive thread's display updates over to the user-interface thread and waits
// for each, so updates stay in order, but gives way to a stop.
#pragma once

#include "measure/measurement_display.h"

#include <functional>

namespace cyclara {

class StopSignal;

// Runs tasks on the user-interface thread, in the order posted. Safe from any thread.
class UiDispatcher {
  public:
    virtual ~UiDispatcher() = default;
    virtual void Post(std::function<void()> task) = 0;
};

class SynchronousDisplay : public MeasurementDisplay {
  public:
    // `window` is the display that the user-interface thread applies the updates to.
    SynchronousDisplay(UiDispatcher& ui, MeasurementDisplay& window, StopSignal& stop);

    // Return once the user-interface thread applied the update, or as soon as a stop is
    // requested; an update abandoned by a stop is never applied.
    void SetFieldText(int id, const char* text) override;
    void SetIndicator(bool lit) override;

  private:
    void ApplyOnUiThread(std::function<void()> apply);

    UiDispatcher& m_ui;
    MeasurementDisplay& m_window;
    StopSignal& m_stop;
};

}  // namespace cyclara
