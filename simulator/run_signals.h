// The signals that end a run (a stop asked for, the started program's end) and the sleeps they
// cut short.
#pragma once

#include <csignal>
#include <cstdint>

namespace cyclara::simulator {

// Called once in main: SIGINT and SIGTERM ask for a stop, SIGCHLD tells of the program's end.
void InstallRunSignals();

// The stop signal that came, or 0.
int StopSignal();
bool Interrupted();

int64_t MonotonicNs();
// Sleeps until CLOCK_MONOTONIC reaches `ns`; false if a stop or the child's end came first.
bool SleepUntil(int64_t ns);

}  // namespace cyclara::simulator
