// The serial device as the receive thread sees it: a wait for DSR changes and received
// characters, the DSR state at a change with its timestamp, and reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cyclara {

// Event bits, with the values Windows gives EV_RXCHAR and EV_DSR.
inline constexpr uint32_t kEvRxChar = 0x0001;
inline constexpr uint32_t kEvDsr = 0x0010;

// The largest read the receive thread asks for.
inline constexpr uint32_t kReadChunkBytes = 32;

// What one DSR change event found. A rising edge is a pulse, timestamped with the counter as
// early as the backend can read it; `on` is the line's state after the change, so a pulse that
// has already ended when the backend looked reports both the pulse and the line off.
struct DsrChange {
    bool pulse = false;
    int64_t pulseTicks = 0;
    bool on = false;
};

// What TimingReport::wait says until the timestamping thread has settled on its wait.
inline constexpr const char* kWaitNotYetKnown = "unknown";

// How this machine timestamps the edges, for a program to tell its user.
struct TimingReport {
    const char* wait = kWaitNotYetKnown;  // the wait that wakes on an edge
    bool raisedPriority = false;          // the timestamping thread runs above normal priority
    bool latencyRequest = false;          // the processors are kept out of deep idle states
    uint64_t droppedChanges = 0;          // DSR changes given up: the program fell behind
    // The device's first status read said it has no modem lines (a file, a pty, a tty of
    // another kind): no measuring device can drive it.
    bool noModemLines = false;
};

class CommDevice {
  public:
    virtual ~CommDevice() = default;

    // Called once on the receive thread before its first wait, to raise that thread's priority
    // where the backend timestamps edges on it.
    virtual void PrepareWaitingThread() = 0;

    // Selects the events that WaitEvent waits for. Safe from any thread: a change ends a wait in
    // progress, or the next wait if none is in progress, which then returns true with no event
    // bits, so a receive thread wakes even when the change came while it was busy elsewhere.
    virtual void SetEventMask(uint32_t mask) = 0;

    // Blocks until an event of the mask or a mask change; `events` receives the bits. False when
    // the device failed (removed, driver error): the caller backs off before it waits again.
    virtual bool WaitEvent(uint32_t& events) = 0;

    // After a wait reported kEvDsr: what the change was. False if the state cannot be read.
    virtual bool ReadDsrChange(DsrChange& change) = 0;

    // After a wait reported kEvRxChar: reads up to `size` bytes, returning how many arrived.
    virtual uint32_t Read(char* buffer, uint32_t size) = 0;

    // Safe from any thread. Before the first wait has begun, the wait may still be unknown.
    virtual TimingReport Timing() const { return {}; }

    // The rising edges of DCD since the call before, timestamped as the pulses are: a
    // reference second (a GPS receiver's PPS) wired to this port. The first call starts the
    // watch. False where the backend cannot watch DCD, with the reason in `whyNot`. Called by
    // one thread at a time.
    virtual bool TakeDcdRises(std::vector<int64_t>& rises, std::string& whyNot) {
        static_cast<void>(rises);
        whyNot = "this build cannot watch DCD";
        return false;
    }
};

// Passes every call on to another device: the base of a wrapper that watches a call or two
// and must lose none of the others.
class ForwardingCommDevice : public CommDevice {
  public:
    explicit ForwardingCommDevice(CommDevice& device) : m_device(device) {}
    void PrepareWaitingThread() override { m_device.PrepareWaitingThread(); }
    void SetEventMask(uint32_t mask) override { m_device.SetEventMask(mask); }
    bool WaitEvent(uint32_t& events) override { return m_device.WaitEvent(events); }
    bool ReadDsrChange(DsrChange& change) override { return m_device.ReadDsrChange(change); }
    uint32_t Read(char* buffer, uint32_t size) override { return m_device.Read(buffer, size); }
    TimingReport Timing() const override { return m_device.Timing(); }
    bool TakeDcdRises(std::vector<int64_t>& rises, std::string& whyNot) override {
        return m_device.TakeDcdRises(rises, whyNot);
    }

  private:
    CommDevice& m_device;
};

}  // namespace cyclara
