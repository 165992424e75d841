#include "logger/console.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

namespace cyclara::logger {

void ForwardStopSignals(StopRequest& stop) {
    signal(SIGPIPE, SIG_IGN);
    // Blocked here, so in every thread started later; one thread takes them with sigwait,
    // which, unlike a handler, may lock and notify.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::thread([&stop, stopSignals] {
        int signal = 0;
        if (sigwait(&stopSignals, &signal) == 0) {
            stop.Request(StopReason::kSignal);
        }
    }).detach();
}

void StopSignalsDone() {}

bool StandardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

}  // namespace cyclara::logger
