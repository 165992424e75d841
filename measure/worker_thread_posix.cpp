#include "measure/worker_thread.h"

#include <pthread.h>
#include <time.h>

#include <cerrno>

namespace cyclara {

struct WorkerThread::Native {
    pthread_t thread{};
    bool exists = false;
    std::function<void()> body;
};

namespace {

void* RunBody(void* body) {
    (*static_cast<std::function<void()>*>(body))();
    return nullptr;
}

// On the monotonic clock: a wall clock set back during a stop would hold the window as long,
// and one set forward would end the wait at once and end a healthy worker by force.
timespec DeadlineAfter(std::chrono::milliseconds timeout) {
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    const long long nanoseconds = deadline.tv_nsec + timeout.count() * 1'000'000LL;
    deadline.tv_sec += static_cast<time_t>(nanoseconds / 1'000'000'000);
    deadline.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
    return deadline;
}

}  // namespace

WorkerThread::WorkerThread() : m_native(std::make_unique<Native>()) {}

WorkerThread::~WorkerThread() {
    if (m_native->exists) {
        pthread_join(m_native->thread, nullptr);
    }
}

bool WorkerThread::Start(std::function<void()> body) {
    m_native->body = std::move(body);
    m_native->exists = pthread_create(&m_native->thread, nullptr, RunBody, &m_native->body) == 0;
    return m_native->exists;
}

bool WorkerThread::Exists() const {
    return m_native->exists;
}

bool WorkerThread::Join(std::chrono::milliseconds timeout) {
    if (!m_native->exists) {
        return true;
    }
    const timespec deadline = DeadlineAfter(timeout);
    if (pthread_clockjoin_np(m_native->thread, nullptr, CLOCK_MONOTONIC, &deadline) != 0) {
        return false;
    }
    m_native->exists = false;
    return true;
}

void WorkerThread::Terminate() {
    if (!m_native->exists) {
        return;
    }
    // Cancellation acts at the thread's next cancellation point; the thread is detached so
    // that it is released when it does end. Until then it still runs its body, so its record
    // is left to it and a fresh one serves the next Start.
    pthread_cancel(m_native->thread);
    pthread_detach(m_native->thread);
    static_cast<void>(m_native.release());
    m_native = std::make_unique<Native>();
}

}  // namespace cyclara
