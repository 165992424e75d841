// What one output delivers and when: its queue, its batches, its back-off after a failure and
// its close, with no thread and no clock of its own. Time comes in with each call (monotonic
// nanoseconds), so a test steps an output through a day of failures exactly, and a thread
// shell runs it in real time. Not synchronised: the shell's lock guards it.
#pragma once

#include "grid/pulse_report.h"
#include "measure/drop_oldest_queue.h"

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace cyclara::logger {

// What became of a batch handed to a destination.
struct Delivery {
    enum class Trouble {
        kNone,
        kPassing,  // the destination is away or failing for now: the rest is tried again
        kRefused,  // the rest can never be delivered (the server says the points are wrong)
        kGone,     // the destination is gone for good (a closed pipe): the output ends
    };
    size_t delivered = 0;  // records delivered, from the batch's start
    Trouble trouble = Trouble::kNone;
    std::string problem;  // a sentence for the user, said once; empty says nothing

    static Delivery All(size_t count) { return {count, Trouble::kNone, ""}; }
};

struct OutputPolicy {
    size_t queueLimit = 1000;  // beyond it the oldest records are dropped and counted
    size_t batchLimit = 1;
    std::chrono::milliseconds batchPeriod{0};  // at most one batch this often
    std::chrono::milliseconds firstRetry{1000};  // then twice as long each time...
    std::chrono::milliseconds longestRetry{60000};  // ...up to this
    std::chrono::milliseconds closeWait{2000};  // a close delivers what it can within this
};

inline constexpr int64_t kNeverNs = std::numeric_limits<int64_t>::max();

class DeliverySchedule {
  public:
    struct Batch {
        std::vector<PulseReport> reports;
        uint64_t missed = 0;  // dropped unseen since the last delivery, for a gap's mark
    };

    explicit DeliverySchedule(const OutputPolicy& policy);

    // Queues the record; false (and counted as undelivered) once closing or gone.
    bool Push(const PulseReport& report);
    bool HasRoom() const { return m_queue.Size() < m_policy.queueLimit; }
    size_t Queued() const { return m_queue.Size(); }
    // From now, what is queued goes at once, for at most the policy's close wait.
    void Close(int64_t nowNs);
    // From now, what is queued goes without waiting for its batch period (a retry still waits
    // its time): a drain before the close.
    void Hurry() { m_hurried = true; }

    // Nothing more to do: gone, or closing with nothing left or no time left.
    bool Settled(int64_t nowNs) const;
    // The batch due now, taken out of the queue; none before its time.
    std::optional<Batch> TakeDue(int64_t nowNs);
    // When a batch may next be due: kNeverNs while the queue is empty.
    int64_t WakeAtNs() const;
    // What became of `batch`; returns the sentence to say, if any.
    std::string Handle(const Delivery& delivery, Batch batch, int64_t nowNs);
    // At the end: what is still queued counts as undelivered.
    void Abandon();

    bool Closing() const { return m_closing; }
    int64_t CloseByNs() const { return m_closeByNs; }
    bool Gone() const { return m_gone; }
    uint64_t Dropped() const { return m_queue.Dropped() + m_undelivered; }
    uint64_t Refused() const { return m_refused; }

  private:
    const OutputPolicy m_policy;
    DropOldestQueue<PulseReport> m_queue;
    uint64_t m_toldDropped = 0;  // of the queue's drops, what the destination was told
    uint64_t m_refused = 0;
    uint64_t m_undelivered = 0;  // left at the close or after the destination was gone
    bool m_closing = false;
    bool m_hurried = false;
    int64_t m_closeByNs = 0;
    bool m_failing = false;
    int64_t m_retryNs = 0;
    int64_t m_retryAtNs = 0;
    std::optional<int64_t> m_lastBatchAtNs;
    bool m_gone = false;
};

}  // namespace cyclara::logger
