#include "logger/console.h"

#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>

namespace cyclara::logger {

namespace {

// Set once by ForwardStopSignals before the handler can run; read by the handler's thread.
StopRequest* g_stop = nullptr;
// Manual reset, set by StopSignalsDone on the main thread, waited for by the handler.
HANDLE g_done = nullptr;

// Windows ends the process when the handler of a close, log-off or shut-down event returns,
// and by force about five seconds after the event: wait for the rows to be written, within
// that.
constexpr DWORD kCloseGraceMs = 4500;

// Set by the first control event, on the handler's thread: a second Ctrl+C or Ctrl+Break
// comes from someone who will not wait for the orderly stop.
std::atomic<bool> g_stopAsked{false};

BOOL WINAPI OnConsoleControl(DWORD type) {
    const bool again = g_stopAsked.exchange(true);
    if (again && (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT)) {
        ExitProcess(STATUS_CONTROL_C_EXIT);
    }
    g_stop->Request(StopReason::kSignal);
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
        WaitForSingleObject(g_done, kCloseGraceMs);
    }
    return TRUE;
}

}  // namespace

void ForwardStopSignals(StopRequest& stop) {
    g_stop = &stop;
    g_done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void StopSignalsDone() {
    SetEvent(g_done);
}

bool StandardOutputIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}

bool WriteStandardOutput(const std::string& text) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    size_t written = 0;
    while (written < text.size()) {
        DWORD now = 0;
        if (!WriteFile(out, text.data() + written, static_cast<DWORD>(text.size() - written),
                       &now, nullptr) ||
            now == 0) {
            return false;
        }
        written += now;
    }
    return true;
}

}  // namespace cyclara::logger
