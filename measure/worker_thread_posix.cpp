#include "measure/worker_thread.h"

#include <pthread.h>

#include <condition_variable>
#include <cstdio>
#include <cxxabi.h>
#include <mutex>

namespace cyclara {

struct WorkerThread::Native {
    pthread_t thread{};
    bool exists = false;  // the owner's thread only
    std::function<void()> body;
    // Set by the worker as its body returns, read by the owner's Join under the mutex. A
    // timed wait on the monotonic clock: a wall clock set back during a stop would hold the
    // window as long, and one set forward would end a healthy worker by force. (The thread
    // is then joined, which takes no longer than its exit; ThreadSanitizer sees that join,
    // where it does not see pthread_clockjoin_np.)
    std::mutex doneMutex;
    std::condition_variable doneChanged;
    bool done = false;
};

WorkerThread::WorkerThread() : m_native(std::make_shared<Native>()) {}

WorkerThread::~WorkerThread() {
    if (m_native->exists) {
        pthread_join(m_native->thread, nullptr);
    }
}

bool WorkerThread::Start(std::function<void()> body) {
    m_native->body = std::move(body);
    // The thread holds its record too, so that one let go by Terminate keeps it until it
    // ends; its cancellation unwinds this frame, which lets go of it.
    auto* held = new std::shared_ptr<Native>(m_native);
    const auto run = [](void* record) -> void* {
        const std::unique_ptr<std::shared_ptr<Native>> own(
            static_cast<std::shared_ptr<Native>*>(record));
        Native& native = **own;
        // Nothing the body throws (an allocation that fails) may end the process; the
        // cancellation that Terminate sends unwinds as an exception, which must go on.
        try {
            native.body();
        } catch (const abi::__forced_unwind&) {
            throw;
        } catch (...) {
            std::fputs("the receive thread ended on an error\n", stderr);
        }
        {
            std::lock_guard lock(native.doneMutex);
            native.done = true;
        }
        native.doneChanged.notify_all();
        return nullptr;
    };
    m_native->done = false;
    m_native->exists = pthread_create(&m_native->thread, nullptr, run, held) == 0;
    if (!m_native->exists) {
        delete held;
    }
    return m_native->exists;
}

bool WorkerThread::Exists() const {
    return m_native->exists;
}

bool WorkerThread::Join(std::chrono::milliseconds timeout) {
    if (!m_native->exists) {
        return true;
    }
    {
        std::unique_lock lock(m_native->doneMutex);
        if (!m_native->doneChanged.wait_for(lock, timeout, [&] { return m_native->done; })) {
            return false;
        }
    }
    pthread_join(m_native->thread, nullptr);
    m_native->exists = false;
    return true;
}

void WorkerThread::Terminate() {
    if (!m_native->exists) {
        return;
    }
    // Cancellation acts at the thread's next cancellation point; the thread is detached so
    // that it is released when it does end, with the record it holds. A fresh record serves
    // the next Start.
    pthread_cancel(m_native->thread);
    pthread_detach(m_native->thread);
    m_native = std::make_shared<Native>();
}

}  // namespace cyclara
