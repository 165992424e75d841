// What cyclara-log needs from the platform's console: the stop signals and the kind of output.
#pragma once

#include "logger/stop_request.h"

#include <string>

namespace cyclara::logger {

// Called first in main, before any thread starts: SIGINT, SIGTERM and SIGHUP (on Windows
// Ctrl+C, Ctrl+Break and closing the console) become a kSignal request, a second one ends the
// process at once, and a closed output becomes a write error instead of SIGPIPE. `stop` must
// live until the process ends.
void ForwardStopSignals(StopRequest& stop);

// Called last: everything is written, so a console being closed may take the process now.
void StopSignalsDone();

bool StandardOutputIsTerminal();
// Writes all of `text` to standard output, unbuffered; false when the reader has gone.
bool WriteStandardOutput(const std::string& text);

}  // namespace cyclara::logger
