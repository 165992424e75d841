// The test's side of the modem-line emulation: creates the shared block, attaches pty slaves
// to it and moves their lines.
#pragma once

#include "simulator/modem_lines.h"

#include <chrono>
#include <optional>
#include <string>

namespace cyclara::simulator {

class ModemControl {
  public:
    // Creates the block at `path` and names it in the environment, for this process's
    // interposer and for the programs it starts.
    explicit ModemControl(std::string path);
    ~ModemControl();
    ModemControl(const ModemControl&) = delete;
    ModemControl& operator=(const ModemControl&) = delete;

    // The test program's one block, for the interposer linked into it.
    static ModemControl& ForThisProcess();

    const std::string& Path() const { return m_path; }

    // Gives the pty slave at `slavePath` modem lines, all off; returns its slot.
    int Attach(const std::string& slavePath);
    void Detach(int slot);

    // One DSR edge, or a whole pulse (rise and fall) published as one change, as when the
    // pulse ends before a reader looks.
    void SetDsr(int slot, bool on);
    void PulseDsr(int slot);
    // One DCD edge, from another thread than the DSR's: it leaves the DSR's latest change
    // and what the program had done by it as they were. Returns CLOCK_MONOTONIC in
    // nanoseconds, read just before the change was published.
    int64_t SetDcd(int slot, bool on);
    // When a wait on DCD first returned after the change that made its count `count` (the
    // rises are the odd counts); none while none has.
    std::optional<int64_t> DcdSeenNanoseconds(int slot, uint32_t count) const;
    uint32_t DcdCount(int slot) const;
    // The device is pulled out: every modem request fails with EIO and waits end.
    void Remove(int slot);
    // After `after` more calls of the modem request `request` (TIOCMGET, TIOCMIWAIT...), the
    // next `count` fail with `error`.
    void FailCalls(int slot, unsigned long request, uint32_t after, uint32_t count, int error);
    // Each status read (TIOCMGET) first takes `stall`, whatever signals arrive.
    void Stall(int slot, std::chrono::milliseconds stall);
    // The driver lacks TIOCMIWAIT and TIOCGICOUNT.
    void SetNoWait(int slot, bool noWait);

    // Waits until the program has started watching the line again since its last change: a new
    // TIOCMIWAIT, or, for a driver without it, two more TIOCMGET polls. An edge sent sooner
    // may reach the program in one wake with the one before.
    bool WaitUntilWatched(int slot, std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // TIOCMGET calls since the slot was attached, counted as each begins; TIOCMIWAIT calls
    // that began to wait.
    uint32_t StatusReads(int slot) const;
    uint32_t WaitEntries(int slot) const;

    // CLOCK_MONOTONIC in nanoseconds, read just before the latest change was published.
    int64_t EdgeNanoseconds(int slot) const;
    // The same clock when the program first learnt of the latest change; none while it has
    // not yet.
    std::optional<int64_t> SeenNanoseconds(int slot) const;

  private:
    void Publish(int slot);

    // What the program had done by each slot's latest change.
    struct Watched {
        uint32_t waitEntries = 0;
        uint32_t statusReads = 0;
    };

    std::string m_path;
    ModemLinesBlock* m_block = nullptr;
    Watched m_atLastChange[CYCLARA_MODEM_LINES_SLOTS];
};

}  // namespace cyclara::simulator
