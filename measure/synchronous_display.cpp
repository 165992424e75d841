#include "measure/synchronous_display.h"

#include "measure/stop_signal.h"

#include <memory>
#include <string>

namespace cyclara {

namespace {

// Shared by the waiting worker and the posted task; both fields are guarded by the stop
// signal's lock, written by the task (applied) or by the worker giving up (abandoned).
struct Handoff {
    bool applied = false;
    bool abandoned = false;
};

}  // namespace

SynchronousDisplay::SynchronousDisplay(UiDispatcher& ui, MeasurementDisplay& window,
                                       StopSignal& stop)
    : m_ui(ui), m_window(window), m_stop(stop) {}

void SynchronousDisplay::SetFieldText(int id, const char* text) {
    ApplyOnUiThread([&window = m_window, id, copy = std::string(text)] {
        window.SetFieldText(id, copy.c_str());
    });
}

void SynchronousDisplay::SetIndicator(bool lit) {
    ApplyOnUiThread([&window = m_window, lit] { window.SetIndicator(lit); });
}

void SynchronousDisplay::ApplyOnUiThread(std::function<void()> apply) {
    auto handoff = std::make_shared<Handoff>();
    m_ui.Post([&stop = m_stop, handoff, apply = std::move(apply)] {
        stop.Complete([&] {
            if (!handoff->abandoned) {
                apply();
                handoff->applied = true;
            }
        });
    });
    m_stop.WaitUntil([&] { return handoff->applied; }, [&] { handoff->abandoned = true; });
}

}  // namespace cyclara
