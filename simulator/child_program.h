// The program cyclara-sim starts: the emulation loaded into it, the device path that leads to
// the simulator's pty, and its end.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace cyclara::simulator {

// Makes `as` lead to `slave` for the programs started after it, with the emulation loaded.
void ExportForChild(const std::string& as, const std::string& slave);

// Makes the child's CLOCK_MONOTONIC slew as "PPM:AFTER:FOR" says, AFTER seconds from now; an
// empty text slews nothing. False for a text that is not of that form.
bool ExportSlew(const std::string& slew);
// Makes the child's UTC clock (CLOCK_REALTIME) read `utc` now and run on from there; an empty
// text leaves it. False for a text that is no UTC time.
bool ExportUtcStart(const std::string& utc);
// The started program's process; its own message and exit 127 when it cannot start.
pid_t StartChild(const std::vector<std::string>& command);
// Passes a stop on to the child and returns its exit code, or 128 plus its signal.
int FinishChild(pid_t child);

}  // namespace cyclara::simulator
