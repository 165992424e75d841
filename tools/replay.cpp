// Replays recorded counter readings through the pulse measurement and prints what the window
// would show. Input: the counter frequency on the first line, then one reading per DSR pulse.
// Rows go to a log in the current folder, as the program writes them.

#include "measure/measurement_display.h"
#include "measure/measurement_log.h"
#include "measure/pulse_state.h"
#include "res/resource.h"

#include <cstdio>
#include <iostream>

namespace {

class PrintingDisplay : public cyclara::MeasurementDisplay {
  public:
    void SetFieldText(int id, const char* text) override {
        const char* name = id == IDC_ELAPSED ? "Elapsed time"
                           : id == IDC_WIDTH ? "1PPS width"
                                             : "Total difference";
        std::printf("%-16s [%s]\n", name, text);
    }
    void SetIndicator(bool) override {}
};

}  // namespace

int main() {
    int64_t frequency = 0;
    if (!(std::cin >> frequency)) {
        std::fprintf(stderr, "usage: replay < readings (frequency, then one reading a line)\n");
        return 2;
    }
    PrintingDisplay display;
    cyclara::MeasurementLog log(cyclara::SystemLocalTime, {[] { return std::string("./"); }});
    log.WriteLog(cyclara::kLogCreate, 0, 0, 0, 0, 0);
    cyclara::PulseState pulses(display, log);
    pulses.Reset(frequency);
    for (int64_t reading = 0; std::cin >> reading;) {
        pulses.OnDsrOn(reading);
    }
    std::printf("log: %s\n", log.Path().c_str());
    return 0;
}
