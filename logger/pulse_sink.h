// Where cyclara-log sends each counted pulse besides its standard output and its record: an
// MQTT broker, for now. A sink never makes the measurement wait: Publish only queues.
#pragma once

#include "logger/logger_options.h"
#include "measure/drop_oldest_queue.h"
#include "measure/grid_figures.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace cyclara::logger {

// One counted pulse, as the row on standard output shows it and with its grid figures.
struct PulseReport {
    int64_t unixNanoseconds = 0;  // the edge's UTC time
    std::optional<PulseFigures> figures;
    int64_t counterFrequency = 0;
    std::optional<int64_t> differenceUs;  // the window's field; none while it shows none
    std::string frequencyText;            // the device's latest line, empty before one
};

class PulseSink {
  public:
    virtual ~PulseSink() = default;
    // The receive thread, per counted pulse: queues and returns.
    virtual void Publish(const PulseReport& report) = 0;
    // The main thread, at a clean exit: says goodbye and sends what is queued, within a bound.
    virtual void Close() = 0;
    // What the sink had to drop because its server was away: the count, and a name for it.
    virtual uint64_t Dropped() const = 0;
    virtual std::string Name() const = 0;
};

// A sink whose own sender thread takes the pulses from a bounded queue, dropping the oldest
// when its server is away too long.
class QueuedSink : public PulseSink {
  public:
    void Publish(const PulseReport& report) final {
        {
            std::lock_guard lock(m_mutex);
            m_queue.Push(report);
        }
        m_changed.notify_all();
    }
    uint64_t Dropped() const final {
        std::lock_guard lock(m_mutex);
        return m_queue.Dropped();
    }

  protected:
    explicit QueuedSink(size_t queueLimit) : m_queue(queueLimit) {}

    // Guards the queue, and the state each sink keeps beside it; the receive thread adds to
    // the queue and the sender takes from it. m_changed tells of any change to either.
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    DropOldestQueue<PulseReport> m_queue;
};

// The sinks the options ask for. Empty with `whyNot` set when one cannot be made (a usage
// problem, or one this build lacks); the servers need not be there yet.
std::vector<std::unique_ptr<PulseSink>> OpenSinks(const LoggerOptions& options,
                                                  std::string& whyNot);

}  // namespace cyclara::logger
