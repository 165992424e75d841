// A measurement display that records every update, in order, for the tests to compare.
#pragma once

#include "measure/measurement_display.h"
#include "res/resource.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace cyclara::testing {

struct DisplayUpdate {
    int id;            // a field ID, or IDC_LED for the indicator
    std::string text;  // the field text, or "lit" / "unlit"

    bool operator==(const DisplayUpdate&) const = default;
};

class RecordingDisplay : public MeasurementDisplay {
  public:
    void SetFieldText(int id, const char* text) override {
        updates.push_back({id, text});
        fields[id] = text;
    }
    void SetIndicator(bool lit) override { updates.push_back({IDC_LED, lit ? "lit" : "unlit"}); }

    // The updates since the last Take, in order; forgets them.
    std::vector<DisplayUpdate> Take() {
        std::vector<DisplayUpdate> taken;
        taken.swap(updates);
        return taken;
    }

    std::vector<DisplayUpdate> updates;
    std::map<int, std::string> fields;
};

// The same, for a display written by a running receive thread while the test waits for it.
class WaitableDisplay : public MeasurementDisplay {
  public:
    void SetFieldText(int id, const char* text) override {
        Record([&] { m_recording.SetFieldText(id, text); });
    }
    void SetIndicator(bool lit) override {
        Record([&] { m_recording.SetIndicator(lit); });
    }

    // Waits up to `timeout` until `done` holds for the updates so far; returns whether it did.
    bool WaitFor(const std::function<bool(const RecordingDisplay&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return done(m_recording); });
    }

    RecordingDisplay Snapshot() {
        std::lock_guard lock(m_mutex);
        return m_recording;
    }

  private:
    template <class Change>
    void Record(Change change) {
        {
            std::lock_guard lock(m_mutex);
            change();
        }
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    RecordingDisplay m_recording;
};

}  // namespace cyclara::testing
