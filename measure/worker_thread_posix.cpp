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
        (*own)->body();
        return nullptr;
    };
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
    // that it is released when it does end, with the record it holds. A fresh record serves
    // the next Start.
    pthread_cancel(m_native->thread);
    pthread_detach(m_native->thread);
    m_native = std::make_shared<Native>();
}

}  // namespace cyclara
