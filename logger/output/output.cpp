#include "logger/output/output.h"

#include "measure/drop_oldest_queue.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

namespace cyclara::logger {

namespace {

using Clock = std::chrono::steady_clock;

// A destination that outlasts the close wait by this much is left behind.
constexpr std::chrono::milliseconds kCloseGrace{500};

void Say(const std::string& problem) {
    if (!problem.empty()) {
        std::fprintf(stderr, "cyclara-log: %s\n", problem.c_str());
    }
}

// Whatever a destination throws (an allocation, a library's surprise) costs its batch, never
// the process.
Delivery DeliverSafely(Destination& destination, const std::vector<PulseReport>& batch,
                       uint64_t missed, const std::string& name) {
    try {
        return destination.Deliver(batch, missed);
    } catch (const std::exception& error) {
        return {0, Delivery::Trouble::kRefused, name + " failed on a batch: " + error.what()};
    } catch (...) {
        return {0, Delivery::Trouble::kRefused, name + " failed on a batch"};
    }
}

}  // namespace

// Everything the output's thread uses, held by that thread too: a thread left behind at the
// close keeps it alive until it ends.
struct Output::Shared {
    Shared(std::string name, std::unique_ptr<Destination> destination, OutputPolicy policy,
           std::function<void()> onGone)
        : name(std::move(name)),
          destination(std::move(destination)),
          policy(policy),
          onGone(std::move(onGone)),
          queue(policy.queueLimit),
          lastBatchAt(Clock::now()) {}

    void Run();
    void Deliver();
    bool Settled(Clock::time_point now) const;
    Clock::time_point NextBatchAt() const;
    void Handle(const Delivery& delivery, std::vector<PulseReport>& batch, uint64_t missed);

    const std::string name;
    const std::unique_ptr<Destination> destination;  // the output's thread's only
    const OutputPolicy policy;
    const std::function<void()> onGone;

    // All below under `mutex`: the producers (the receive thread, the main thread) add to the
    // queue; the output's thread takes from it and keeps the rest; Close sets `closing`.
    // `changed` tells of any change.
    mutable std::mutex mutex;
    std::condition_variable changed;
    DropOldestQueue<PulseReport> queue;
    uint64_t toldDropped = 0;  // of queue.Dropped(), what the destination was told
    uint64_t refused = 0;
    uint64_t undelivered = 0;  // left at the close or after the destination was gone
    bool closing = false;
    Clock::time_point closeBy;
    bool failing = false;
    std::chrono::milliseconds retry{0};
    Clock::time_point retryAt;
    Clock::time_point lastBatchAt;
    bool gone = false;
    bool finished = false;
    bool leftBehind = false;  // Close gave up waiting for the thread
};

Output::Output(std::string name, std::unique_ptr<Destination> destination, OutputPolicy policy,
               std::function<void()> onGone)
    : m_name(name),
      m_shared(std::make_shared<Shared>(std::move(name), std::move(destination), policy,
                                        std::move(onGone))) {
    std::thread([shared = m_shared] { shared->Run(); }).detach();
}

Output::~Output() {
    Close();
}

void Output::Take(const PulseReport& report) {
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->closing || m_shared->gone) {
            ++m_shared->undelivered;
            return;
        }
        m_shared->queue.Push(report);
    }
    m_shared->changed.notify_all();
}

void Output::TakeWaiting(const PulseReport& report) {
    {
        std::unique_lock lock(m_shared->mutex);
        const OutputPolicy& policy = m_shared->policy;
        m_shared->changed.wait_for(lock, policy.longestRetry + policy.closeWait, [this] {
            return m_shared->queue.Size() < m_shared->policy.queueLimit || m_shared->closing ||
                   m_shared->gone;
        });
    }
    Take(report);
}

void Output::Drain() {
    std::unique_lock lock(m_shared->mutex);
    const OutputPolicy& policy = m_shared->policy;
    for (size_t left = m_shared->queue.Size(); left > 0 && !m_shared->gone;
         left = m_shared->queue.Size()) {
        const bool moved = m_shared->changed.wait_for(
            lock, policy.longestRetry + policy.closeWait,
            [this, left] { return m_shared->queue.Size() < left || m_shared->gone; });
        if (!moved) {
            return;  // a destination that takes nothing more is left to Close's bound
        }
    }
}

void Output::Close() {
    std::unique_lock lock(m_shared->mutex);
    if (!m_shared->closing) {
        m_shared->closing = true;
        m_shared->closeBy = Clock::now() + m_shared->policy.closeWait;
        m_shared->changed.notify_all();
    }
    const bool ended = m_shared->changed.wait_until(
        lock, m_shared->closeBy + kCloseGrace, [this] { return m_shared->finished; });
    if (!ended && !m_shared->leftBehind) {
        m_shared->leftBehind = true;
        m_shared->undelivered += m_shared->queue.Take(m_shared->policy.queueLimit).size();
        lock.unlock();
        std::fprintf(stderr, "cyclara-log: %s did not finish within %lld ms and is left\n",
                     m_name.c_str(), static_cast<long long>(m_shared->policy.closeWait.count()));
    }
}

uint64_t Output::Dropped() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->queue.Dropped() + m_shared->undelivered;
}

uint64_t Output::Refused() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->refused;
}

// Nothing more to do: gone, or closing with nothing left or no time left.
bool Output::Shared::Settled(Clock::time_point now) const {
    return gone || (closing && (queue.Empty() || now >= closeBy));
}

// A batch goes when the last one is a period old and any retry is due; at the close, at once.
Clock::time_point Output::Shared::NextBatchAt() const {
    if (closing) {
        return Clock::time_point{};
    }
    const Clock::time_point periodic = queue.Size() >= policy.batchLimit
                                           ? Clock::time_point{}
                                           : lastBatchAt + policy.batchPeriod;
    return std::max(periodic, failing ? retryAt : Clock::time_point{});
}

void Output::Shared::Run() {
    // Whatever fails here (an allocation) ends this output, never the process.
    try {
        Deliver();
    } catch (...) {
        std::fprintf(stderr, "cyclara-log: %s ended on an error\n", name.c_str());
    }
    std::lock_guard lock(mutex);
    finished = true;
    changed.notify_all();
}

void Output::Shared::Deliver() {
    std::unique_lock lock(mutex);
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (Settled(now)) {
            break;
        }
        if (queue.Empty()) {
            changed.wait(lock);
            continue;
        }
        if (const Clock::time_point due = NextBatchAt(); now < due) {
            changed.wait_until(lock, closing ? std::min(due, closeBy) : due);
            continue;
        }
        std::vector<PulseReport> batch = queue.Take(policy.batchLimit);
        const uint64_t missed = queue.Dropped() - toldDropped;
        lastBatchAt = now;
        changed.notify_all();  // a producer waiting for room
        lock.unlock();
        const Delivery delivery = DeliverSafely(*destination, batch, missed, name);
        lock.lock();
        Handle(delivery, batch, missed);
        if (gone && onGone) {
            lock.unlock();
            onGone();
            lock.lock();
        }
    }
    undelivered += queue.Take(policy.queueLimit).size();
    lock.unlock();
    destination->Finish();
}

// Under `mutex`, on the output's thread.
void Output::Shared::Handle(const Delivery& delivery, std::vector<PulseReport>& batch,
                            uint64_t missed) {
    const size_t delivered = std::min(delivery.delivered, batch.size());
    if (delivered > 0 || delivery.trouble == Delivery::Trouble::kNone) {
        toldDropped += missed;
    }
    batch.erase(batch.begin(), batch.begin() + static_cast<std::ptrdiff_t>(delivered));
    switch (delivery.trouble) {
        case Delivery::Trouble::kNone:
            failing = false;
            return;
        case Delivery::Trouble::kPassing:
            if (!failing) {
                Say(delivery.problem);
                retry = policy.firstRetry;
            } else {
                retry = std::min(retry * 2, policy.longestRetry);
            }
            failing = true;
            retryAt = Clock::now() + retry;
            queue.PutBack(std::move(batch));
            // At the close a destination that is away is not waited for.
            if (closing) {
                closeBy = Clock::now();
            }
            return;
        case Delivery::Trouble::kRefused:
            if (refused == 0) {
                Say(delivery.problem);
            }
            refused += batch.size();
            return;
        case Delivery::Trouble::kGone:
            Say(delivery.problem);
            gone = true;
            undelivered += batch.size();
            return;
    }
}

}  // namespace cyclara::logger
