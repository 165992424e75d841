#include "serial/comm_device.h"
#include "serial/line_watcher_posix.h"
#include "serial/line_settings_posix.h"
#include "serial/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <linux/tty.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace cyclara {

namespace {

// Owns a file descriptor from the moment it is opened, so every failure path closes it.
class UniqueFd {
  public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    UniqueFd& operator=(UniqueFd&&) = delete;
    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }

  private:
    int m_fd;
};

// Asks the kernel to keep the processors out of deep idle states while the port is open:
// waking from them adds tens of microseconds of jitter to edge timestamps. Needs write access
// to /dev/cpu_dma_latency (root, or a udev rule); without it nothing is asked. The request
// holds while the file stays open.
UniqueFd RequestLowWakeLatency() {
    UniqueFd request(open("/dev/cpu_dma_latency", O_WRONLY | O_CLOEXEC));
    if (request.Valid()) {
        const int32_t microseconds = 0;
        if (write(request.Get(), &microseconds, sizeof microseconds) != sizeof microseconds) {
            return UniqueFd();
        }
    }
    return request;
}

// The one place that turns an errno from opening into words for the user.
std::string OpenErrorText(int error) {
    if (error == EWOULDBLOCK) {
        return "another program holds the port";
    }
    return std::strerror(error);
}

// Whether the line discipline hands DCD's edges to the kernel's PPS source, for chrony or ntpd.
bool FeedsKernelPps(int fd);

class PosixCommDevice : public CommDevice {
  public:
    PosixCommDevice(UniqueFd tty, UniqueFd wake)
        : m_tty(std::move(tty)),
          m_wake(std::move(wake)),
          m_latencyRequest(RequestLowWakeLatency()),
          m_watcher(m_tty.Get(), [this] { Wake(); }) {}

    ~PosixCommDevice() override {
        m_dcdWatcher.Stop();
        m_watcher.Stop();
        ioctl(m_tty.Get(), TIOCNXCL);
    }

    // The watcher thread, not this one, timestamps the edges and runs at raised priority.
    void PrepareWaitingThread() override {}

    void SetEventMask(uint32_t mask) override {
        std::lock_guard lock(m_maskMutex);
        m_mask = mask;
        ++m_maskGeneration;
        if ((mask & kEvDsr) != 0 && !m_watcher.Started()) {
            m_watcher.Start();
        } else if ((mask & kEvDsr) == 0) {
            m_watcher.Stop();
        }
        Wake();
    }

    // A mask change since the previous wait returned ends this wait at once, so a stop
    // requested while the receive thread was busy elsewhere is seen without a further event.
    // Each failure is reported once: a failed DSR watch leaves the text to be read (the watch
    // retries on its own), and a line that hung up (a pulled-out adapter) is no longer polled.
    bool WaitEvent(uint32_t& events) override {
        for (;;) {
            const uint32_t mask = m_mask.load();
            events = 0;
            if ((mask & kEvDsr) != 0) {
                if (m_watcher.TakeFailure()) {
                    return false;
                }
                if (m_watcher.HasChange()) {
                    events |= kEvDsr;
                }
            }
            const bool maskChanged = m_maskGeneration.load() != m_seenGeneration;
            const short readable = (mask & kEvRxChar) != 0 && !m_hungUp ? POLLIN : 0;
            std::array<pollfd, 2> fds{{{m_wake.Get(), POLLIN, 0}, {m_tty.Get(), readable, 0}}};
            const nfds_t watched = m_hungUp ? 1 : fds.size();
            if (poll(fds.data(), watched, events != 0 || maskChanged ? 0 : -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            if ((fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                m_hungUp = true;
                return false;
            }
            if ((fds[1].revents & POLLIN) != 0) {
                events |= kEvRxChar;
            }
            if ((fds[0].revents & POLLIN) != 0) {
                DrainWake();
            }
            const uint32_t generation = m_maskGeneration.load();
            if (events != 0 || generation != m_seenGeneration) {
                m_seenGeneration = generation;
                return true;
            }
        }
    }

    TimingReport Timing() const override {
        TimingReport report;
        report.wait = m_watcher.WaitKind();
        report.raisedPriority = m_watcher.RealTimePriority();
        report.latencyRequest = m_latencyRequest.Valid();
        report.droppedChanges = m_watcher.DroppedChanges();
        report.noModemLines = m_watcher.NoModemLines();
        return report;
    }

    bool ReadDsrChange(DsrChange& change) override {
        const std::optional<DsrChange> taken = m_watcher.Take();
        if (!taken) {
            return false;
        }
        change = *taken;
        return true;
    }

    // The receive thread's only, after the first call, besides the destructor's stop.
    bool TakeDcdRises(std::vector<int64_t>& rises, std::string& whyNot) override {
        rises.clear();
        if (!m_dcdWatcher.Started()) {
            if (FeedsKernelPps(m_tty.Get())) {
                whyNot = "its DCD feeds the kernel's PPS (pps-ldisc) for a time daemon to "
                         "discipline the clock with: the clock is then the reference";
                return false;
            }
            m_dcdWatcher.Start();
        }
        while (const std::optional<DsrChange> change = m_dcdWatcher.Take()) {
            if (change->pulse) {
                rises.push_back(change->pulseTicks);
            }
        }
        return true;
    }

    uint32_t Read(char* buffer, uint32_t size) override {
        const ssize_t count = read(m_tty.Get(), buffer, size);
        return count > 0 ? static_cast<uint32_t>(count) : 0;
    }

  private:
    void Wake() {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_wake.Get(), &one, sizeof one);
    }

    void DrainWake() {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t read = ::read(m_wake.Get(), &count, sizeof count);
    }

    const UniqueFd m_tty;
    // Written by the watcher, by SetEventMask (either thread) and drained by WaitEvent.
    const UniqueFd m_wake;
    const UniqueFd m_latencyRequest;
    // Orders SetEventMask calls from the two threads. Lock order: this, then the watch's
    // own mutex (taken inside Start and Stop).
    std::mutex m_maskMutex;
    // Written by SetEventMask, read by WaitEvent on the receive thread.
    std::atomic<uint32_t> m_mask{0};
    std::atomic<uint32_t> m_maskGeneration{0};
    uint32_t m_seenGeneration = 0;  // the receive thread's only
    bool m_hungUp = false;  // the receive thread's only
    // Declared last: stopped before the descriptors close.
    LineWatcher m_watcher;
    LineWatcher m_dcdWatcher{m_tty.Get(), [] {}, ModemLine::kDcd};
};

bool FeedsKernelPps(int fd) {
    int discipline = 0;
    return ioctl(fd, TIOCGETD, &discipline) == 0 && discipline == N_PPS;
}

}  // namespace

std::string DevicePath(int32_t portNumber) {
    // COM1 to COM4 are the native UARTs, COM5 to COM12 USB serial adapters, COM13 to COM20 USB
    // modems (CDC ACM), each family in the kernel's order of discovery.
    struct Family {
        int32_t firstPort;
        const char* prefix;
    };
    constexpr std::array<Family, 3> kFamilies{
        {{13, "/dev/ttyACM"}, {5, "/dev/ttyUSB"}, {1, "/dev/ttyS"}}};
    if (portNumber < 1 || portNumber > kPortCount) {
        return "";
    }
    for (const Family& family : kFamilies) {
        if (portNumber >= family.firstPort) {
            return family.prefix + std::to_string(portNumber - family.firstPort);
        }
    }
    return "";
}

std::unique_ptr<CommDevice> OpenCommDevice(const std::string& path, int32_t baudRate,
                                           std::string* whyNot) {
    const auto fail = [whyNot](int error) -> std::unique_ptr<CommDevice> {
        if (whyNot != nullptr) {
            *whyNot = OpenErrorText(error);
        }
        return nullptr;
    };
    if (path.empty()) {
        return fail(ENOENT);
    }
    UniqueFd wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake.Valid()) {
        return fail(errno);
    }
    UniqueFd tty(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (!tty.Valid()) {
        return fail(errno);
    }
    // flock excludes other programs that lock the port, root included; TIOCEXCL excludes
    // programs that do not, except root's.
    if (flock(tty.Get(), LOCK_EX | LOCK_NB) != 0) {
        return fail(errno);
    }
    ioctl(tty.Get(), TIOCEXCL);
    ConfigureLine(tty.Get(), baudRate);
    return std::make_unique<PosixCommDevice>(std::move(tty), std::move(wake));
}

}  // namespace cyclara
