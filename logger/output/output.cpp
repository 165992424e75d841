#include "logger/output/output.h"

#include "logger/output/thread_name.h"
#include "measure/clock.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

namespace cyclara::logger {

namespace {

// A destination that outlasts the close wait by this much is left behind.
constexpr int64_t kCloseGraceNs = 500'000'000;

int64_t NowNs() {
    return SystemClock().MonotonicNs();
}

std::chrono::nanoseconds Until(int64_t thenNs, int64_t nowNs) {
    return std::chrono::nanoseconds(std::max<int64_t>(0, thenNs - nowNs));
}

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

void FinishSafely(Destination& destination, const std::string& name) {
    try {
        destination.Finish();
    } catch (...) {
        std::fprintf(stderr, "cyclara-log: %s failed while finishing\n", name.c_str());
    }
}

// Queues the record; whether it makes a batch due sooner than the thread, asleep until the
// batch it last saw is due, expects. A record that leaves that moment as it was need not wake
// it, so a pulse does not wake every batching output.
bool PushWakes(DeliverySchedule& schedule, const PulseReport& report) {
    const int64_t dueBeforeNs = schedule.WakeAtNs();
    schedule.Push(report);
    return schedule.WakeAtNs() < dueBeforeNs;
}

}  // namespace

// One output on its delivering thread: everything that thread uses, held by it too, so a
// thread left behind at the close keeps it alive until it ends.
struct Output::Member {
    Member(std::string name, std::unique_ptr<Destination> destination, OutputPolicy policy,
           std::function<void()> onGone)
        : name(std::move(name)),
          destination(std::move(destination)),
          policy(policy),
          onGone(std::move(onGone)),
          schedule(policy) {}

    const std::string name;
    const std::unique_ptr<Destination> destination;  // the delivering thread's only
    const OutputPolicy policy;
    const std::function<void()> onGone;
    // Under the thread's mutex.
    DeliverySchedule schedule;
    bool finished = false;    // the destination has had its last delivery and its Finish
    bool leftBehind = false;  // Close gave up waiting for it
};

// The outputs one thread delivers for. The producers (the receive thread, the main thread)
// queue into a member's schedule and Close closes it; the thread takes batches from the
// schedules and records what became of them. All under `mutex`, released while a destination
// works; `changed` tells of any change.
class DeliveryThread {
  public:
    explicit DeliveryThread(std::string name) : m_name(std::move(name)) {}

    // False once the thread has ended: the output then needs a thread of its own.
    bool Add(std::shared_ptr<Output::Member> member) {
        std::lock_guard lock(mutex);
        if (m_ended) {
            return false;
        }
        m_members.push_back(std::move(member));
        return true;
    }

    void Run() {
        NameThisThread(m_name);
        std::unique_lock lock(mutex);
        // Whatever fails here (an allocation) ends these outputs, never the process.
        try {
            Deliver(lock);
        } catch (...) {
            std::fprintf(stderr, "cyclara-log: %s ended on an error\n", m_name.c_str());
            for (const std::shared_ptr<Output::Member>& member : m_members) {
                member->schedule.Abandon();
                member->finished = true;
            }
        }
        m_ended = true;
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;

  private:
    bool AllFinished() const {
        return std::all_of(m_members.begin(), m_members.end(),
                           [](const auto& member) { return member->finished; });
    }

    void Deliver(std::unique_lock<std::mutex>& lock) {
        while (m_members.empty() || !AllFinished()) {
            int64_t wakeNs = kNeverNs;
            bool worked = false;
            for (size_t i = 0; i < m_members.size(); ++i) {
                const std::shared_ptr<Output::Member> member = m_members[i];
                if (!member->finished) {
                    worked |= Step(*member, lock, wakeNs);
                }
            }
            if (worked) {
                continue;
            }
            if (wakeNs == kNeverNs) {
                changed.wait(lock);
            } else {
                changed.wait_for(lock, Until(wakeNs, NowNs()));
            }
        }
    }

    // One batch of one member's, or its end; else lowers `wakeNs` to when it is next due.
    bool Step(Output::Member& member, std::unique_lock<std::mutex>& lock, int64_t& wakeNs) {
        DeliverySchedule& schedule = member.schedule;
        const int64_t nowNs = NowNs();
        if (schedule.Settled(nowNs)) {
            schedule.Abandon();
            lock.unlock();
            FinishSafely(*member.destination, member.name);
            lock.lock();
            member.finished = true;
            changed.notify_all();
            return true;
        }
        std::optional<DeliverySchedule::Batch> batch = schedule.TakeDue(nowNs);
        if (!batch) {
            const int64_t dueNs = schedule.WakeAtNs();
            wakeNs = std::min(wakeNs, schedule.Closing() ? std::min(dueNs, schedule.CloseByNs())
                                                         : dueNs);
            return false;
        }
        changed.notify_all();  // a producer waiting for room
        lock.unlock();
        const Delivery delivery =
            DeliverSafely(*member.destination, batch->reports, batch->missed, member.name);
        lock.lock();
        Say(schedule.Handle(delivery, std::move(*batch), NowNs()));
        if (schedule.Gone() && member.onGone) {
            lock.unlock();
            member.onGone();
            lock.lock();
        }
        changed.notify_all();
        return true;
    }

    const std::string m_name;
    std::vector<std::shared_ptr<Output::Member>> m_members;  // under `mutex`
    bool m_ended = false;                                    // under `mutex`
};

std::shared_ptr<DeliveryThread> StartDeliveryThread(const std::string& name) {
    auto thread = std::make_shared<DeliveryThread>(name);
    std::thread([thread] { thread->Run(); }).detach();
    return thread;
}

Output::Output(std::string name, std::unique_ptr<Destination> destination, OutputPolicy policy,
               std::function<void()> onGone, std::shared_ptr<DeliveryThread> thread)
    : m_name(name),
      m_thread(std::move(thread)),
      m_member(std::make_shared<Member>(std::move(name), std::move(destination), policy,
                                        std::move(onGone))) {
    if (!m_thread || !m_thread->Add(m_member)) {
        m_thread = StartDeliveryThread(m_name);
        m_thread->Add(m_member);
    }
}

Output::~Output() {
    Close();
}

void Output::Take(const PulseReport& report) {
    bool wake = false;
    {
        std::lock_guard lock(m_thread->mutex);
        wake = PushWakes(m_member->schedule, report);
    }
    if (wake) {
        m_thread->changed.notify_all();
    }
}

void Output::TakeWaiting(const std::vector<PulseReport>& reports) {
    bool wake = false;
    {
        std::unique_lock lock(m_thread->mutex);
        const OutputPolicy& policy = m_member->policy;
        DeliverySchedule& schedule = m_member->schedule;
        for (const PulseReport& report : reports) {
            if (!schedule.HasRoom()) {
                m_thread->changed.notify_all();  // what was queued is due: the room comes of it
                wake = false;
                m_thread->changed.wait_for(lock, policy.longestRetry + policy.closeWait,
                                           [&schedule] {
                                               return schedule.HasRoom() || schedule.Closing() ||
                                                      schedule.Gone();
                                           });
            }
            wake |= PushWakes(schedule, report);
        }
    }
    if (wake) {
        m_thread->changed.notify_all();
    }
}

void Output::Drain() {
    std::unique_lock lock(m_thread->mutex);
    const OutputPolicy& policy = m_member->policy;
    DeliverySchedule& schedule = m_member->schedule;
    schedule.Hurry();
    m_thread->changed.notify_all();
    for (size_t left = schedule.Queued(); left > 0 && !schedule.Gone();
         left = schedule.Queued()) {
        const bool moved = m_thread->changed.wait_for(
            lock, policy.longestRetry + policy.closeWait,
            [&schedule, left] { return schedule.Queued() < left || schedule.Gone(); });
        if (!moved) {
            return;  // a destination that takes nothing more is left to Close's bound
        }
    }
}

void Output::Close() {
    std::unique_lock lock(m_thread->mutex);
    DeliverySchedule& schedule = m_member->schedule;
    const int64_t nowNs = NowNs();
    if (!schedule.Closing()) {
        schedule.Close(nowNs);
        m_thread->changed.notify_all();
    }
    const bool ended =
        m_thread->changed.wait_for(lock, Until(schedule.CloseByNs() + kCloseGraceNs, nowNs),
                                   [this] { return m_member->finished; });
    if (!ended && !m_member->leftBehind) {
        m_member->leftBehind = true;
        schedule.Abandon();
        lock.unlock();
        std::fprintf(stderr, "cyclara-log: %s did not finish within %lld ms and is left\n",
                     m_name.c_str(), static_cast<long long>(m_member->policy.closeWait.count()));
    }
}

uint64_t Output::Dropped() const {
    std::lock_guard lock(m_thread->mutex);
    return m_member->schedule.Dropped();
}

uint64_t Output::Refused() const {
    std::lock_guard lock(m_thread->mutex);
    return m_member->schedule.Refused();
}

}  // namespace cyclara::logger
