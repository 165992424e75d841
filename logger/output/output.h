// The one way a record leaves cyclara-log: each output (standard output, the per-pulse record,
// MQTT, InfluxDB, the summary) has a bounded queue of its own and is delivered to off the
// receive thread, so that a slow, stalled or absent destination holds up neither the
// measurement nor the outputs on other threads. A network output, or a terminal, has a thread
// of its own; the cheap local writers share one, so a pulse wakes one thread for all of them.
#pragma once

#include "grid/pulse_report.h"
#include "logger/output/delivery_schedule.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cyclara::logger {

class Destination {
  public:
    virtual ~Destination() = default;
    // The delivering thread only. `missed` counts the records dropped unseen since the last
    // delivery, for a destination that marks its gaps.
    virtual Delivery Deliver(const std::vector<PulseReport>& batch, uint64_t missed) = 0;
    // The delivering thread, once, after its last delivery: goodbyes, within a bound.
    virtual void Finish() {}
};

// A thread that delivers for the outputs given it; it ends once all of them have closed.
class DeliveryThread;
std::shared_ptr<DeliveryThread> StartDeliveryThread(const std::string& name);

class Output {
  public:
    // `name` as messages show it ("InfluxDB"); `onGone` runs on the delivering thread when the
    // destination is gone for good. Without `thread`, the output gets a thread of its own.
    Output(std::string name, std::unique_ptr<Destination> destination, OutputPolicy policy,
           std::function<void()> onGone = {}, std::shared_ptr<DeliveryThread> thread = {});
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Any thread: queues the record and returns at once.
    void Take(const PulseReport& report);
    // Any thread: the same for each of `reports` in turn, under one lock, but while the queue
    // is full waits for room, for as long as a destination's longest retry and the close wait:
    // a replay, which must lose nothing, goes at its slowest output's pace. Past that the
    // oldest record is dropped, as Take drops it.
    void TakeWaiting(const std::vector<PulseReport>& reports);
    // The main thread, before Close where nothing may be left: waits while the queue empties,
    // for as long as it goes on emptying (at most a retry and a close wait without progress).
    void Drain();
    // The main thread: delivers what is queued within the policy's close wait, then lets the
    // destination go; one that a destination holds past that (a terminal held by Ctrl+S) is
    // left behind with what it uses. Safe to call twice.
    void Close();

    const std::string& Name() const { return m_name; }
    // Dropped by a full queue or left at the close; refused by the destination. Final once
    // Close has returned.
    uint64_t Dropped() const;
    uint64_t Refused() const;

    struct Member;

  private:
    const std::string m_name;
    std::shared_ptr<DeliveryThread> m_thread;
    std::shared_ptr<Member> m_member;
};

}  // namespace cyclara::logger
