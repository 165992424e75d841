#include "simulator/run_signals.h"

#include <cerrno>
#include <ctime>

namespace cyclara::simulator {

namespace {

// Set by the signal handlers; read by the pulse loop between its sleeps and by the wait for
// the child.
volatile sig_atomic_t g_stopSignal = 0;
volatile sig_atomic_t g_childEnded = 0;

void OnStopSignal(int signal) {
    g_stopSignal = signal;
}

void OnChildEnded(int) {
    g_childEnded = 1;
}

// Without SA_RESTART, so that a signal ends the sleep it lands in. `flags`: SA_NOCLDSTOP for
// the child's, whose stop and continuation (a suspended machine, simulated) end nothing.
void InstallHandler(int signal, void (*handler)(int), int flags = 0) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

}  // namespace

void InstallRunSignals() {
    InstallHandler(SIGINT, OnStopSignal);
    InstallHandler(SIGTERM, OnStopSignal);
    InstallHandler(SIGCHLD, OnChildEnded, SA_NOCLDSTOP);
}

int StopSignal() {
    return g_stopSignal;
}

bool Interrupted() {
    return g_stopSignal != 0 || g_childEnded != 0;
}

int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

bool SleepUntil(int64_t ns) {
    const timespec until{static_cast<time_t>(ns / 1'000'000'000),
                         static_cast<long>(ns % 1'000'000'000)};
    for (;;) {
        if (Interrupted()) {
            return false;
        }
        const int result = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
        if (result != EINTR) {
            return result == 0;
        }
    }
}

}  // namespace cyclara::simulator
