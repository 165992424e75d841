// Where the measurement writes what the user sees: the value fields and the DSR indicator.
#pragma once

namespace cyclara {

struct CountedPulse;

// Both calls are made by the receive thread and return only once the change has been applied
// (or abandoned because a stop was requested), so updates reach the window in call order.
class MeasurementDisplay {
  public:
    virtual ~MeasurementDisplay() = default;

    // Replaces the whole text of the value field `id` (IDC_FREQ, IDC_ELAPSED, IDC_WIDTH,
    // IDC_DIFF) with the zero-terminated 8-bit string `text`.
    virtual void SetFieldText(int id, const char* text) = 0;

    // Shows the lit or the unlit icon in the indicator IDC_LED.
    virtual void SetIndicator(bool lit) = 0;

    // The reference pulse (count 0) and then each measured one, after its fields were set:
    // the numbers the fields were made from, for a display that needs numbers.
    virtual void OnCountedPulse(const CountedPulse&) {}

    // The figure of each frequency line ("50"), as the device sent it, after IDC_FREQ shows
    // it: for a display that decides on it rather than reading its own field back.
    virtual void OnDeviceFigure(const char*) {}
};

}  // namespace cyclara
