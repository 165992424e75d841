// A measurement display that records every update, in order, for the tests to compare.
#pragma once

#include "measure/measurement_display.h"
#include "res/resource.h"

#include <map>
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

}  // namespace cyclara::testing
