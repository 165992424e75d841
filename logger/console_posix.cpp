#include "logger/console.h"

#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

namespace cyclara::logger {
namespace {

// 0 only if the set is invalid, which a fixed set never is.
int NextSignal(const sigset_t& signals) {
    int signal = 0;
    return sigwait(&signals, &signal) == 0 ? signal : 0;
}

}  // namespace

void ForwardStopSignals(StopRequest& stop) {
    signal(SIGPIPE, SIG_IGN);
    // Blocked here, so in every thread started later; one thread takes them with sigwait,
    // which, unlike a handler, may lock and notify.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);  // the terminal or the ssh connection went away
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // The first signal asks for the orderly stop; a second, while its bounded close runs, is
    // someone who will not wait.
    std::thread([&stop, stopSignals] {
        if (NextSignal(stopSignals) == 0) {
            return;
        }
        stop.Request(StopReason::kSignal);
        if (const int second = NextSignal(stopSignals)) {
            _exit(128 + second);
        }
    }).detach();
}

void StopSignalsDone() {}

bool StandardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

bool WriteStandardOutput(const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t now = write(STDOUT_FILENO, text.data() + written, text.size() - written);
        if (now < 0 && errno != EINTR) {
            return false;
        }
        written += now > 0 ? static_cast<size_t>(now) : 0;
    }
    return true;
}

}  // namespace cyclara::logger
