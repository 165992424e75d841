// The one way a record leaves cyclara-log: each output (standard output, the per-pulse record,
// MQTT, InfluxDB, the summary) has a bounded queue and a thread of its own, so that a slow,
// stalled or absent destination holds up only itself, never the measurement or another output.
#pragma once

#include "grid/pulse_report.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
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

class Destination {
  public:
    virtual ~Destination() = default;
    // The output's thread only. `missed` counts the records dropped unseen since the last
    // delivery, for a destination that marks its gaps.
    virtual Delivery Deliver(const std::vector<PulseReport>& batch, uint64_t missed) = 0;
    // The output's thread, once, after its last delivery: goodbyes, within a bound.
    virtual void Finish() {}
};

struct OutputPolicy {
    size_t queueLimit = 1000;  // beyond it the oldest records are dropped and counted
    size_t batchLimit = 1;
    std::chrono::milliseconds batchPeriod{0};  // at most one batch this often
    std::chrono::milliseconds firstRetry{1000};  // then twice as long each time...
    std::chrono::milliseconds longestRetry{60000};  // ...up to this
    std::chrono::milliseconds closeWait{2000};  // a close delivers what it can within this
};

class Output {
  public:
    // `name` as messages show it ("InfluxDB"); `onGone` runs on the output's thread when the
    // destination is gone for good.
    Output(std::string name, std::unique_ptr<Destination> destination, OutputPolicy policy,
           std::function<void()> onGone = {});
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Any thread: queues the record and returns at once.
    void Take(const PulseReport& report);
    // Any thread: the same, but while the queue is full waits for room, for as long as a
    // destination's longest retry and the close wait: a replay, which must lose nothing, goes
    // at its slowest output's pace. Past that the oldest record is dropped, as Take drops it.
    void TakeWaiting(const PulseReport& report);
    // The main thread, before Close where nothing may be left: waits while the queue empties,
    // for as long as it goes on emptying (at most a retry and a close wait without progress).
    void Drain();
    // The main thread: delivers what is queued within the policy's close wait, then ends the
    // thread; one that a destination holds past that (a terminal held by Ctrl+S) is left
    // behind with what it uses. Safe to call twice.
    void Close();

    const std::string& Name() const { return m_name; }
    // Dropped by a full queue or left at the close; refused by the destination. Final once
    // Close has returned.
    uint64_t Dropped() const;
    uint64_t Refused() const;

  private:
    struct Shared;
    const std::string m_name;
    std::shared_ptr<Shared> m_shared;
};

}  // namespace cyclara::logger
