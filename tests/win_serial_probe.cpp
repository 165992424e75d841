// Drives the Windows serial backend and the receive thread from commands on standard input,
// one a line, and reports on standard output, so that a Linux test can run it under wine
// against a pseudo-terminal mapped as a COM port:
//   open N RATE   -> "open 1" or "open 0"
//   start         -> "started"; then "led lit", "led unlit", "field ID TEXT" as they happen
//   stop          -> "ended forced=0" (or 1 if the worker had to be ended by force), "closed"
//   quit
#include "measure/line_assembler.h"
#include "measure/log_files.h"
#include "measure/measurement_display.h"
#include "measure/measurement_log.h"
#include "measure/receive_thread.h"
#include "serial/serial_port.h"

#include <cstdio>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>

namespace {

using namespace cyclara;

std::mutex g_outputMutex;

void Say(const std::string& line) {
    std::lock_guard lock(g_outputMutex);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

class PrintingDisplay : public MeasurementDisplay {
  public:
    void SetFieldText(int id, const char* text) override {
        Say("field " + std::to_string(id) + " " + text);
    }
    void SetIndicator(bool lit) override { Say(lit ? "led lit" : "led unlit"); }
};

}  // namespace

int main() {
    PrintingDisplay display;
    LineAssembler lines;
    MeasurementLog log(SystemLocalTime, {ProgramFolder});
    Receiver receiver(log, lines);
    CSerialPort port;
    Say("ready");
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "open") {
            int32_t number = 0;
            int32_t rate = 0;
            words >> number >> rate;
            Say("open " + std::to_string(port.Open(number, rate)));
        } else if (command == "start" && port.IsOpen()) {
            receiver.StartThread(*port.GetHandle(), display);
            Say("started");
        } else if (command == "stop") {
            receiver.EndThread();
            Say(std::string("ended forced=") + (receiver.LastStopWasForced() ? "1" : "0"));
            port.Close();
            Say("closed");
        } else if (command == "quit") {
            break;
        }
    }
    return 0;
}
