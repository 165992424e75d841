// A scripted serial device: each wait delivers the next step of the script; once the script
// is used up the wait blocks, like a quiet line, until the mask changes or steps are added.
// Failing steps make it a fault seam: any wait, status read or read of the script can fail.
#pragma once

#include "serial/comm_device.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace cyclara::testing {

struct FakeStep {
    uint32_t events = 0;
    std::optional<DsrChange> dsr;  // what ReadDsrChange then reports; none: the read fails
    std::string bytes;             // what Read then delivers
    bool waitFails = false;        // the wait itself fails, as on a removed device
};

inline FakeStep PulseStep(int64_t ticks) {
    return {kEvDsr, DsrChange{true, ticks, true}, ""};
}
inline FakeStep BytesStep(std::string bytes) {
    return {kEvRxChar, std::nullopt, bytes};
}
inline FakeStep FailedWaitStep() {
    return {0, std::nullopt, "", true};
}

class FakeCommDevice : public CommDevice {
  public:
    void PrepareWaitingThread() override {
        std::lock_guard lock(m_mutex);
        ++prepared;
    }

    void SetEventMask(uint32_t mask) override {
        std::lock_guard lock(m_mutex);
        masks.push_back(mask);
        ++m_maskGeneration;
        m_changed.notify_all();
    }

    bool WaitEvent(uint32_t& events) override {
        events = 0;
        for (;;) {
            // Deaf without the lock, so a thread ended by force there leaves none held.
            while (m_deaf.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::unique_lock lock(m_mutex);
            if (m_next == m_script.size()) {
                // Like the real devices, a mask change since the last wait ended ends this one.
                m_idle = true;
                m_changed.notify_all();
                m_changed.wait(lock, [&] {
                    return m_deaf || m_maskGeneration != m_seenGeneration ||
                           m_next < m_script.size();
                });
                m_idle = false;
                if (m_deaf) {
                    continue;
                }
                m_seenGeneration = m_maskGeneration;
                if (m_next == m_script.size()) {
                    return true;
                }
            }
            m_current = m_script[m_next++];
            events = m_current.events;
            return !m_current.waitFails;
        }
    }

    bool ReadDsrChange(DsrChange& change) override {
        std::lock_guard lock(m_mutex);
        if (!m_current.dsr) {
            return false;
        }
        change = *m_current.dsr;
        return true;
    }

    uint32_t Read(char* buffer, uint32_t size) override {
        std::lock_guard lock(m_mutex);
        readSizes.push_back(size);
        const size_t count = std::min<size_t>(size, m_current.bytes.size());
        std::memcpy(buffer, m_current.bytes.data(), count);
        return static_cast<uint32_t>(count);
    }

    void Add(std::vector<FakeStep> steps) {
        std::lock_guard lock(m_mutex);
        if (m_next == m_script.size()) {
            // Steps delivered are let go, so that a long run fed in parts stays flat.
            m_script.clear();
            m_next = 0;
        }
        m_script.insert(m_script.end(), steps.begin(), steps.end());
        m_changed.notify_all();
    }

    // Blocks until the receive thread waits with the whole script delivered and handled.
    void WaitUntilIdle() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_idle && m_next == m_script.size(); });
    }

    // A deaf device's waits ignore mask changes, like a driver stuck in a call: only
    // Hear() ends them.
    void Deafen() {
        std::lock_guard lock(m_mutex);
        m_deaf = true;
        m_changed.notify_all();
    }
    void Hear() { m_deaf = false; }

    // Read by the tests once the receive thread is idle or stopped.
    int prepared = 0;
    std::vector<uint32_t> masks;
    std::vector<uint32_t> readSizes;

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<FakeStep> m_script;
    size_t m_next = 0;
    FakeStep m_current;
    uint64_t m_maskGeneration = 0;
    uint64_t m_seenGeneration = 0;
    bool m_idle = false;
    std::atomic<bool> m_deaf{false};
};

}  // namespace cyclara::testing
