#include "measure/counter.h"
#include "serial/comm_device.h"
#include "serial/serial_port.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace cyclara {

namespace {

constexpr DWORD kPendingReadDeadlineMs = 3000;

// Owns a kernel handle from the moment it is opened, so every failure path closes it.
class UniqueHandle {
  public:
    explicit UniqueHandle(HANDLE handle = nullptr)
        : m_handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~UniqueHandle() {
        if (m_handle != nullptr) {
            CloseHandle(m_handle);
        }
    }
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.m_handle) {
        other.m_handle = nullptr;
    }
    UniqueHandle& operator=(UniqueHandle&&) = delete;
    HANDLE Get() const { return m_handle; }
    bool Valid() const { return m_handle != nullptr; }
    HANDLE Release() {
        const HANDLE handle = m_handle;
        m_handle = nullptr;
        return handle;
    }

  private:
    HANDLE m_handle;
};

// Tick counts wrap after 49.7 days; a signed difference keeps the comparison right across it.
bool TickPassed(DWORD now, DWORD deadline) {
    return static_cast<LONG>(now - deadline) > 0;
}

void ApplyLineSettings(HANDLE port, int32_t baudRate) {
    DCB state{};
    state.DCBlength = sizeof state;
    // Only the fields below change; flow control, DTR and RTS stay as the driver has them.
    if (GetCommState(port, &state)) {
        state.BaudRate = static_cast<DWORD>(baudRate);
        state.ByteSize = 8;
        state.Parity = NOPARITY;
        state.fParity = FALSE;
        state.StopBits = ONESTOPBIT;
        state.fBinary = TRUE;
        SetCommState(port, &state);
    }
    // A read returns at once with the bytes already received: the receive thread reads only
    // after EV_RXCHAR, so none is lost, and it is back in its wait before the next edge (a
    // read that waited for more bytes would hold an edge's timestamp as long). Writes end
    // after 10 ms a byte plus 10 ms.
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 10, 10};
    SetCommTimeouts(port, &timeouts);
}

// The overlapped wait's record. The driver writes into it until the wait has ended, so it
// lives on the heap and is left behind, not freed, if a wait will not end.
struct PendingWait {
    OVERLAPPED overlapped{};
    DWORD events = 0;
};

class Win32CommDevice : public CommDevice {
  public:
    Win32CommDevice(UniqueHandle port, UniqueHandle waitDone, UniqueHandle maskChanged,
                    UniqueHandle readDone)
        : m_port(std::move(port)),
          m_waitDone(std::move(waitDone)),
          m_maskChanged(std::move(maskChanged)),
          m_readDone(std::move(readDone)),
          m_wait(std::make_unique<PendingWait>()) {}

    ~Win32CommDevice() override { EndPendingWait(); }

    // This thread reads the counter at each edge, so it runs ahead of ordinary work.
    void PrepareWaitingThread() override {
        m_raisedPriority = SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST) != 0;
    }

    TimingReport Timing() const override {
        TimingReport report;
        report.wait = "driver wait (WaitCommEvent)";
        report.raisedPriority = m_raisedPriority.load();
        return report;
    }

    // SetCommMask completes a pending wait. A change that comes while no wait is pending,
    // or just before one starts, is caught by the generation and the event.
    void SetEventMask(uint32_t mask) override {
        m_mask = mask;
        ++m_maskGeneration;
        SetCommMask(m_port.Get(), mask | (m_watchDcd ? EV_RLSD : 0));
        SetEvent(m_maskChanged.Get());
    }

    // One handle has one wait: DCD is watched by the receive thread's wait on this port, so a
    // port that no receive thread waits on cannot carry the reference.
    bool TakeDcdRises(std::vector<int64_t>& rises, std::string& whyNot) override {
        rises.clear();
        if (!m_waited) {
            whyNot = "on Windows the reference goes on DCD of the measuring port (--reference dcd)";
            return false;
        }
        if (!m_watchDcd.exchange(true)) {
            SetEventMask(m_mask);
        }
        std::lock_guard lock(m_dcdMutex);
        rises.swap(m_dcdRises);
        return true;
    }

    // A DCD change is timestamped as the wait returns, and its state read only at the next
    // call, after the caller has read a DSR edge the same wait reported: that edge's timestamp
    // waits for no more than one counter reading.
    bool WaitEvent(uint32_t& events) override {
        m_waited = true;
        NoteDcd();
        if (!WaitDriverEvent(events)) {
            return false;
        }
        if ((events & EV_RLSD) != 0) {
            m_dcdChangeTicks = ReadCounter();
            events &= ~static_cast<uint32_t>(EV_RLSD);
        }
        return true;
    }

    bool ReadDsrChange(DsrChange& change) override {
        DWORD status = 0;
        if (!GetCommModemStatus(m_port.Get(), &status)) {
            return false;
        }
        change = DsrChange{};
        if ((status & MS_DSR_ON) != 0) {
            change.pulseTicks = ReadCounter();
            change.pulse = true;
            change.on = true;
        }
        return true;
    }

    uint32_t Read(char* buffer, uint32_t size) override {
        m_readOverlapped = OVERLAPPED{};
        m_readOverlapped.hEvent = m_readDone.Get();
        DWORD count = 0;
        DWORD status = 0;
        if (!ReadFile(m_port.Get(), buffer, size, &count, &m_readOverlapped)) {
            status = GetLastError();
            count = 0;
            if (status == ERROR_IO_PENDING) {
                AwaitPendingRead(count);
            }
        }
        ResetEvent(m_readDone.Get());
        return status == 0 || status == ERROR_IO_PENDING ? count : 0;
    }

  private:
    static constexpr DWORD kWaitEndMs = 1000;
    // More than the reference's estimate looks back over (64 s).
    static constexpr size_t kDcdRisesKept = 256;

    bool WaitDriverEvent(uint32_t& events) {
        events = 0;
        const uint32_t generation = m_maskGeneration.load();
        if (generation != m_seenGeneration) {
            ResetEvent(m_maskChanged.Get());
            m_seenGeneration = generation;
            return true;
        }
        if (!m_waitPending && !StartWait(events)) {
            return false;
        }
        if (!m_waitPending) {
            return true;
        }
        const HANDLE handles[2] = {m_waitDone.Get(), m_maskChanged.Get()};
        const DWORD woken = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0 + 1) {
            // The mask changed; the wait stays pending for the next call to finish.
            return true;
        }
        if (woken != WAIT_OBJECT_0) {
            return false;
        }
        m_waitPending = false;
        DWORD ignored = 0;
        if (!GetOverlappedResult(m_port.Get(), &m_wait->overlapped, &ignored, FALSE)) {
            return false;
        }
        events = m_wait->events;
        return true;
    }

    // Whether the change the last wait reported was a rise, kept with its timestamp.
    void NoteDcd() {
        if (!m_dcdChangeTicks) {
            return;
        }
        const int64_t ticks = *std::exchange(m_dcdChangeTicks, std::nullopt);
        DWORD status = 0;
        if (!GetCommModemStatus(m_port.Get(), &status)) {
            return;
        }
        const bool on = (status & MS_RLSD_ON) != 0;
        if (on && !m_dcdOn) {
            std::lock_guard lock(m_dcdMutex);
            if (m_dcdRises.size() == kDcdRisesKept) {
                m_dcdRises.erase(m_dcdRises.begin());  // nobody took them: the oldest go
            }
            m_dcdRises.push_back(ticks);
        }
        m_dcdOn = on;
    }

    // Starts an overlapped wait; true with `events` set if it completed at once, true with
    // m_waitPending if it is under way, false if it failed.
    bool StartWait(uint32_t& events) {
        ResetEvent(m_waitDone.Get());
        m_wait->overlapped = OVERLAPPED{};
        m_wait->overlapped.hEvent = m_waitDone.Get();
        if (WaitCommEvent(m_port.Get(), &m_wait->events, &m_wait->overlapped)) {
            events = m_wait->events;
            return true;
        }
        m_waitPending = GetLastError() == ERROR_IO_PENDING;
        return m_waitPending;
    }

    // Clearing the mask completes a pending wait; cancelling is the fallback (wine does not
    // complete a cancelled wait). A wait that still has not ended keeps its record and event.
    void EndPendingWait() {
        if (!m_waitPending) {
            return;
        }
        SetCommMask(m_port.Get(), 0);
        CancelIoEx(m_port.Get(), &m_wait->overlapped);
        if (WaitForSingleObject(m_waitDone.Get(), kWaitEndMs) != WAIT_OBJECT_0) {
            static_cast<void>(m_wait.release());
            static_cast<void>(m_waitDone.Release());
        }
        m_waitPending = false;
    }

    // A completion report that fails while the read is still under way is asked again until
    // 3 s after the read was found pending. A read still under way then is cancelled and
    // waited for: the caller's buffer must not be written after Read returned.
    void AwaitPendingRead(DWORD& count) {
        const DWORD deadline = GetTickCount() + kPendingReadDeadlineMs;
        while (!GetOverlappedResult(m_port.Get(), &m_readOverlapped, &count, TRUE)) {
            if (HasOverlappedIoCompleted(&m_readOverlapped) ||
                TickPassed(GetTickCount(), deadline)) {
                break;
            }
        }
        if (!HasOverlappedIoCompleted(&m_readOverlapped)) {
            CancelIoEx(m_port.Get(), &m_readOverlapped);
            GetOverlappedResult(m_port.Get(), &m_readOverlapped, &count, TRUE);
        }
    }

    const UniqueHandle m_port;
    UniqueHandle m_waitDone;           // manual reset, signalled by the overlapped wait
    const UniqueHandle m_maskChanged;  // manual reset, set by SetEventMask from either thread
    const UniqueHandle m_readDone;     // manual reset, signalled by the overlapped read
    // Incremented by SetEventMask on either thread, read by the receive thread.
    std::atomic<uint32_t> m_maskGeneration{0};
    // The receive thread's own, and the destructor's once no receive thread runs.
    uint32_t m_seenGeneration = 0;
    // The receive thread's own, and the destructor's once no receive thread runs.
    std::unique_ptr<PendingWait> m_wait;
    bool m_waitPending = false;
    OVERLAPPED m_readOverlapped{};
    // Written by the receive thread as it starts, read by any thread for a report.
    std::atomic<bool> m_raisedPriority{false};
    // Written by SetEventMask on either thread; read there and by TakeDcdRises.
    std::atomic<uint32_t> m_mask{0};
    // Set by the receive thread at its first wait; read by the thread that takes the rises.
    std::atomic<bool> m_waited{false};
    // Set once by the thread that takes the rises; read by SetEventMask on either thread.
    std::atomic<bool> m_watchDcd{false};
    // The receive thread's own: the line's last state, and a change not yet read.
    bool m_dcdOn = false;
    std::optional<int64_t> m_dcdChangeTicks;
    // The receive thread appends under the mutex; the thread that takes the rises swaps them out.
    std::mutex m_dcdMutex;
    std::vector<int64_t> m_dcdRises;
};

// The one place that turns a Windows error from opening into words for the user.
std::string OpenErrorText(DWORD error) {
    char text[256] = "";
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}

}  // namespace

std::string DevicePath(int32_t portNumber) {
    return "\\\\.\\COM" + std::to_string(portNumber);
}

std::unique_ptr<CommDevice> OpenCommDevice(const std::string& path, int32_t baudRate,
                                           std::string* whyNot) {
    UniqueHandle port(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!port.Valid() && whyNot != nullptr) {
        *whyNot = OpenErrorText(GetLastError());
    }
    UniqueHandle waitDone(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle maskChanged(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle readDone(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!port.Valid() || !waitDone.Valid() || !maskChanged.Valid() || !readDone.Valid()) {
        return nullptr;
    }
    ApplyLineSettings(port.Get(), baudRate);
    return std::make_unique<Win32CommDevice>(std::move(port), std::move(waitDone),
                                             std::move(maskChanged), std::move(readDone));
}

}  // namespace cyclara
