#include "measure/worker_thread.h"

#include <windows.h>

#include <cstdio>

namespace cyclara {

struct WorkerThread::Native {
    HANDLE thread = nullptr;
    std::function<void()> body;
};

namespace {

DWORD WINAPI RunBody(LPVOID body) {
    // Nothing the body throws (an allocation that fails) may end the process.
    try {
        (*static_cast<std::function<void()>*>(body))();
    } catch (...) {
        std::fputs("the receive thread ended on an error\n", stderr);
    }
    return 0;
}

// Dispatches the messages other threads sent to this thread's windows, so that a thread
// blocked in SendMessage to us can finish while we wait for it.
void ServiceSentMessages() {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace

WorkerThread::WorkerThread() : m_native(std::make_shared<Native>()) {}

WorkerThread::~WorkerThread() {
    if (m_native->thread != nullptr) {
        WaitForSingleObject(m_native->thread, INFINITE);
        CloseHandle(m_native->thread);
    }
}

bool WorkerThread::Start(std::function<void()> body) {
    m_native->body = std::move(body);
    DWORD threadId = 0;
    m_native->thread = CreateThread(nullptr, 0, RunBody, &m_native->body, 0, &threadId);
    return m_native->thread != nullptr;
}

bool WorkerThread::Exists() const {
    return m_native->thread != nullptr;
}

bool WorkerThread::Join(std::chrono::milliseconds timeout) {
    if (m_native->thread == nullptr) {
        return true;
    }
    const DWORD start = GetTickCount();
    const DWORD limit = static_cast<DWORD>(timeout.count());
    for (;;) {
        // Unsigned subtraction keeps the bound right across the tick count's wrap-around.
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed > limit) {
            return false;
        }
        const DWORD result =
            MsgWaitForMultipleObjects(1, &m_native->thread, FALSE, limit - elapsed, QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0) {
            break;
        }
        if (result != WAIT_OBJECT_0 + 1) {
            return false;
        }
        ServiceSentMessages();
    }
    CloseHandle(m_native->thread);
    m_native->thread = nullptr;
    return true;
}

void WorkerThread::Terminate() {
    if (m_native->thread == nullptr) {
        return;
    }
    TerminateThread(m_native->thread, 0);
    CloseHandle(m_native->thread);
    m_native->thread = nullptr;
}

}  // namespace cyclara
