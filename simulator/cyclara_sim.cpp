// cyclara-sim: plays the measuring device on a pseudo-terminal, with emulated modem lines: a
// DSR pulse once per (simulated) second and a text line such as "50Hz\r\n" after it. Started
// with a command, it runs that program with the emulation loaded and one device path (by
// default /dev/ttyUSB0, COM5) leading to its pty, and ends when the program ends.
#include "simulator/line_report.h"
#include "simulator/modem_control.h"
#include "simulator/pty.h"
#include "simulator/pulse_plan.h"

#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace cyclara::simulator {
namespace {

struct SimOptions {
    double periodSeconds = 1.0;
    double widthSeconds = 0.1;
    PulseShape shape;
    std::vector<int64_t> skip;
    int frequency = 50;
    int64_t lineEvery = 1;
    double lineLeadSeconds = 0;
    int noiseBytes = 0;
    std::string text;  // the line's bytes instead of the frequency's; empty for those
    int64_t count = 0;
    int64_t removeAfter = 0;
    double backAfterSeconds = 0;
    std::string as = "/dev/ttyUSB0";
    std::string group;
    std::string events;
    std::vector<std::string> command;
};

// Set by the signal handlers; read by the pulse loop between its sleeps.
volatile sig_atomic_t g_stopSignal = 0;
volatile sig_atomic_t g_childEnded = 0;

void OnStopSignal(int signal) {
    g_stopSignal = signal;
}

void OnChildEnded(int) {
    g_childEnded = 1;
}

// The pulses leave on time on a busy machine only at a real-time priority (root or
// CAP_SYS_NICE); the programs it starts do not inherit it. Tests compare what a program
// measured with the rises written to the events file, so they hold either way.
bool RaisePulsePriority() {
    sched_param param{};
    param.sched_priority = 1;
    return sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
}

// Without SA_RESTART, so that a signal ends the sleep it lands in.
void InstallHandler(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

bool Interrupted() {
    return g_stopSignal != 0 || g_childEnded != 0;
}

int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Sleeps until CLOCK_MONOTONIC reaches `ns`; false if a stop or the child's end came first.
bool SleepUntil(int64_t ns) {
    const timespec until{static_cast<time_t>(ns / 1'000'000'000),
                         static_cast<long>(ns % 1'000'000'000)};
    for (;;) {
        if (Interrupted()) {
            return false;
        }
        const int result = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
        if (result != EINTR) {
            return result == 0;
        }
    }
}

int ParseOptions(int argc, char** argv, SimOptions& o) {
    CLI::App app{"Plays Cyclara's measuring device on a pseudo-terminal with emulated modem lines.",
                 "cyclara-sim"};
    app.add_option("--period", o.periodSeconds, "Nominal pulse period in seconds (default 1)")
        ->check(CLI::Range(0.001, 3600.0));
    app.add_option("--width", o.widthSeconds, "Pulse width in seconds (default 0.1)")
        ->check(CLI::Range(0.0001, 3600.0));
    app.add_option("--offset-ppm", o.shape.offsetPpm,
                   "Constant offset: positive makes the device's seconds longer");
    app.add_option("--jitter-us", o.shape.jitterUs, "Timing jitter of each rise, s.d. in us")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--wander-ppm", o.shape.wanderPpm,
                   "Bound of a slow random wander of the mains frequency, in ppm")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--skip", o.skip, "Pulse numbers (from 1) whose edges are lost");
    app.add_option("--frequency", o.frequency, "Figure of the text lines: 50 or 60")
        ->check(CLI::IsMember({50, 60}));
    app.add_option("--line-every", o.lineEvery, "A text line after every Nth pulse; 0 for none")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--line-lead", o.lineLeadSeconds,
                   "Send each text line this long before its pulse's rise, not after its fall")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--text", o.text,
                   "The text lines' bytes, as given, instead of the frequency and Hz");
    app.add_option("--noise", o.noiseBytes, "A line of N random bytes before each text line")
        ->check(CLI::Range(0, 200));
    app.add_option("--count", o.count, "Pulses to send; 0 runs until stopped")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--remove-after", o.removeAfter,
                   "Pull the device out after this many pulses (again after as many more, "
                   "when it comes back)");
    app.add_option("--back-after", o.backAfterSeconds,
                   "Plug the device back in this many seconds after each removal (default: "
                   "never)")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--seed", o.shape.seed, "Seed of the random jitter, wander and noise");
    app.add_option("--as", o.as, "Device path that leads to the pty in the started program");
    app.add_option("--group", o.group,
                   "Give the device to this group, read and write, as udev gives serial "
                   "adapters to dialout, for a program started as another user");
    app.add_option("--events", o.events,
                   "File for the event lines (default: standard output without a command, "
                   "none with one)");
    app.add_option("command", o.command, "Program to start, after --")->expected(-1);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& error) {
        std::fprintf(stderr, "cyclara-sim: %s; see --help\n", error.what());
        return 2;
    }
    if (o.widthSeconds >= o.periodSeconds) {
        std::fprintf(stderr, "cyclara-sim: the width must be shorter than the period\n");
        return 2;
    }
    return -1;
}

// Where the emulation library lies, in the folder that the dynamic loader's $LIB names for
// the started program's architecture (lib/x86_64-linux-gnu on Debian), left for the loader to
// expand, so that a 32-bit program finds its own copy: in the build, under this program's
// folder; installed, in the architecture's library folder beside bin/.
std::string PreloadLibrary() {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return "$LIB/cyclara/libcyclara_modem.so";
    }
    const std::string path(self, static_cast<size_t>(length));
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    struct stat built {};
    if (stat((folder + "lib").c_str(), &built) == 0 && S_ISDIR(built.st_mode)) {
        return folder + "$LIB/libcyclara_modem.so";
    }
    return folder + "../$LIB/cyclara/libcyclara_modem.so";
}

void ExportForChild(const SimOptions& o, const std::string& slave) {
    const char* preload = std::getenv("LD_PRELOAD");
    std::string libraries = PreloadLibrary();
    if (preload != nullptr && *preload != '\0') {
        libraries += std::string(":") + preload;
    }
    setenv("LD_PRELOAD", libraries.c_str(), 1);
    setenv(CYCLARA_DEVICE_REDIRECT_VARIABLE, (o.as + "=" + slave).c_str(), 1);
    setenv("CYCLARA_SIM_PTY", slave.c_str(), 1);
}

pid_t StartChild(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[0], argv.data());
        std::fprintf(stderr, "cyclara-sim: cannot start %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    return child;
}

// Passes a stop on to the child and returns its exit code, or 128 plus its signal.
int FinishChild(pid_t child) {
    if (child <= 0) {
        return 0;
    }
    int status = 0;
    bool forwarded = false;
    for (;;) {
        if (g_stopSignal != 0 && !forwarded) {
            kill(child, SIGTERM);
            forwarded = true;
        }
        const pid_t ended = waitpid(child, &status, 0);
        if (ended == child) {
            break;
        }
        if (ended < 0 && errno != EINTR) {
            return 1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Keeps the slave open in raw mode for the whole run, so that bytes sent before a program
// opens it arrive unchanged (no CR to LF mapping, no echo) and a program that closes and
// reopens the port finds the line as it left it.
class HeldSlave {
  public:
    explicit HeldSlave(const std::string& path)
        : m_fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        termios raw{};
        if (m_fd < 0 || tcgetattr(m_fd, &raw) != 0) {
            throw std::runtime_error("cannot open " + path);
        }
        cfmakeraw(&raw);
        tcsetattr(m_fd, TCSANOW, &raw);
    }
    ~HeldSlave() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    int Fd() const { return m_fd; }
    HeldSlave(const HeldSlave&) = delete;
    HeldSlave& operator=(const HeldSlave&) = delete;

  private:
    const int m_fd;
};

// A pty and the modem-line block are their creator's alone; this lets `group` open them.
void GiveToGroup(const std::string& path, gid_t group) {
    if (group != static_cast<gid_t>(-1) &&
        (chown(path.c_str(), static_cast<uid_t>(-1), group) != 0 ||
         chmod(path.c_str(), 0660) != 0)) {
        throw std::runtime_error("cannot give " + path + " to the group");
    }
}

// The device as plugged in: its pty, the slave held open, its modem-line slot, and the link
// through which the started program opens it. Pulling it out hangs the line up and takes the
// link away; plugging it back makes a new pty, as a USB adapter comes back as a new device.
class Plug {
  public:
    Plug(ModemControl& modem, std::string link, gid_t group)
        : m_modem(modem), m_link(std::move(link)), m_group(group) {
        Insert();
    }
    ~Plug() {
        Pull();
        m_modem.Detach(m_slot);
    }
    Plug(const Plug&) = delete;
    Plug& operator=(const Plug&) = delete;

    void Pull() {
        if (!m_pty) {
            return;
        }
        m_modem.Remove(m_slot);
        m_pty->CloseMaster();
        unlink(m_link.c_str());
        m_held.reset();
        m_pty.reset();
    }

    void Insert() {
        if (m_slot >= 0) {
            m_modem.Detach(m_slot);
        }
        m_pty = std::make_unique<Pty>();
        GiveToGroup(m_pty->SlavePath(), m_group);
        m_held = std::make_unique<HeldSlave>(m_pty->SlavePath());
        m_slot = m_modem.Attach(m_pty->SlavePath());
        // Made beside and renamed over, so the link is never missing while it moves.
        const std::string made = m_link + ".new";
        unlink(made.c_str());
        if (symlink(m_pty->SlavePath().c_str(), made.c_str()) != 0 ||
            rename(made.c_str(), m_link.c_str()) != 0) {
            throw std::runtime_error("cannot link " + m_link);
        }
    }

    const std::string& Link() const { return m_link; }
    const std::string& SlavePath() const { return m_pty->SlavePath(); }
    Pty& Line() { return *m_pty; }
    int HeldFd() const { return m_held->Fd(); }
    int Slot() const { return m_slot; }

  private:
    ModemControl& m_modem;
    const std::string m_link;
    const gid_t m_group;  // -1: the pty stays its creator's
    std::unique_ptr<Pty> m_pty;
    std::unique_ptr<HeldSlave> m_held;
    int m_slot = -1;
};

class Device {
  public:
    Device(const SimOptions& o, Plug& plug, ModemControl& modem, std::FILE* events)
        : m_o(o),
          m_plug(plug),
          m_modem(modem),
          m_events(events),
          m_noise(o.shape.seed ^ 0x5eed) {}

    // Waits until a program watches the line, so the first pulse is not sent into nothing.
    bool AwaitWatcher() {
        while (!Interrupted()) {
            if (m_modem.WaitUntilWatched(m_plug.Slot(), std::chrono::milliseconds(200))) {
                return true;
            }
        }
        return false;
    }

    void Run() {
        SendPulses();
        ReportSeen();
    }

  private:
    void SendPulses() {
        PulseShape shape = m_o.shape;
        shape.periodNs = std::llround(m_o.periodSeconds * 1e9);
        PulsePlan plan(shape);
        const int64_t widthNs = std::llround(m_o.widthSeconds * 1e9);
        const int64_t leadNs = std::llround(m_o.lineLeadSeconds * 1e9);
        // A tenth of a period's lead keeps the first rise's jitter after the start.
        int64_t start = MonotonicNs() + shape.periodNs / 10;
        Event("settings", 0, DescribeLine(m_plug.HeldFd()));
        Event("priority", 0, RaisePulsePriority() ? "real-time" : "normal");
        int64_t pluggedAt = 0;
        for (int64_t n = 1; m_o.count == 0 || n <= m_o.count; ++n) {
            const int64_t rise = start + plan.NextRiseNs();
            if (leadNs > 0) {
                if (!SleepUntil(rise - leadNs)) {
                    return;
                }
                SendLines(n);
            }
            if (!SleepUntil(rise) || !SendPulse(n, rise + widthNs)) {
                return;
            }
            if (leadNs == 0) {
                SendLines(n);
            }
            if (n - pluggedAt == m_o.removeAfter && n != m_o.count) {
                ReportSeen();
                m_plug.Pull();
                Event("remove", n, "");
                if (m_o.backAfterSeconds <= 0 ||
                    !SleepUntil(MonotonicNs() + std::llround(m_o.backAfterSeconds * 1e9))) {
                    return;
                }
                m_plug.Insert();
                Event("back", n, m_plug.SlavePath());
                if (!AwaitWatcher()) {
                    return;
                }
                // The pulses go on a period after the device is back, not in a burst of
                // those it missed.
                start += MonotonicNs() - rise;
                pluggedAt = n;
            }
        }
    }

    bool SendPulse(int64_t n, int64_t fall) {
        if (std::find(m_o.skip.begin(), m_o.skip.end(), n) != m_o.skip.end()) {
            Event("skip", n, "");
            return SleepUntil(fall);
        }
        Change(n, true);
        const bool slept = SleepUntil(fall);
        Change(n, false);
        return slept;
    }

    void Change(int64_t n, bool on) {
        ReportSeen();
        m_modem.SetDsr(m_plug.Slot(), on);
        Event(on ? "rise" : "fall", n, "", m_modem.EdgeNanoseconds(m_plug.Slot()));
        m_unseen = {n, on};
    }

    // When the program learnt of the latest change, if it has: a rise it learnt of only with
    // its fall (the pulse was over before it looked) has its fall's time.
    void ReportSeen() {
        const std::optional<int64_t> seen = m_modem.SeenNanoseconds(m_plug.Slot());
        if (m_unseen && seen) {
            Event("seen", m_unseen->first, m_unseen->second ? "rise" : "fall", *seen);
        }
        m_unseen.reset();
    }

    void SendLines(int64_t n) {
        if (m_o.lineEvery == 0 || n % m_o.lineEvery != 0) {
            return;
        }
        if (m_o.noiseBytes > 0) {
            const std::string noise = NoiseLine();
            m_plug.Line().Send(noise + "\r\n");
            Event("noise", n, std::to_string(noise.size()) + " bytes");
        }
        const std::string figure =
            m_o.text.empty() ? std::to_string(m_o.frequency) + "Hz" : m_o.text;
        m_plug.Line().Send(figure + "\r\n");
        Event("line", n, figure);
    }

    // Random bytes that never end a line and never read as a frequency line.
    std::string NoiseLine() {
        std::uniform_int_distribution<int> byte(1, 255);
        std::string noise;
        while (noise.size() < static_cast<size_t>(m_o.noiseBytes)) {
            const char ch = static_cast<char>(byte(m_noise));
            if (ch != '\n' && !(noise.size() == 2 && ch == 'H')) {
                noise += ch;
            }
        }
        return noise;
    }

    void Event(const char* what, int64_t n, const std::string& detail, int64_t ns = 0) {
        if (m_events == nullptr) {
            return;
        }
        std::fprintf(m_events, "%lld\t%s\t%lld%s%s\n",
                     static_cast<long long>(ns != 0 ? ns : MonotonicNs()), what,
                     static_cast<long long>(n), detail.empty() ? "" : "\t", detail.c_str());
        std::fflush(m_events);
    }

    const SimOptions& m_o;
    Plug& m_plug;
    ModemControl& m_modem;
    std::FILE* const m_events;
    std::mt19937_64 m_noise;
    std::optional<std::pair<int64_t, bool>> m_unseen;  // the latest change: pulse, rise
};

std::FILE* OpenEvents(const SimOptions& o) {
    if (!o.events.empty()) {
        return std::fopen(o.events.c_str(), "w");
    }
    return o.command.empty() ? stdout : nullptr;
}

std::string RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && *runtime == '/' ? runtime : "/tmp";
}

int Simulate(const SimOptions& o) {
    const std::string stem = RuntimeFolder() + "/cyclara-sim-" + std::to_string(getpid());
    gid_t group = static_cast<gid_t>(-1);
    if (!o.group.empty()) {
        const struct group* entry = getgrnam(o.group.c_str());
        if (entry == nullptr) {
            std::fprintf(stderr, "cyclara-sim: no group %s\n", o.group.c_str());
            return 2;
        }
        group = entry->gr_gid;
    }
    ModemControl modem(stem);
    GiveToGroup(modem.Path(), group);
    Plug plug(modem, stem + ".device", group);
    ExportForChild(o, plug.Link());
    std::FILE* events = OpenEvents(o);
    if (!o.events.empty() && events == nullptr) {
        std::fprintf(stderr, "cyclara-sim: cannot write %s\n", o.events.c_str());
        return 1;
    }
    std::fprintf(stderr, "cyclara-sim: device on %s; %s leads there for programs it starts\n",
                 plug.SlavePath().c_str(), o.as.c_str());
    const pid_t child = o.command.empty() ? 0 : StartChild(o.command);
    Device device(o, plug, modem, events);
    if (device.AwaitWatcher()) {
        device.Run();
    }
    const int code = FinishChild(child);
    if (events != nullptr && events != stdout) {
        std::fclose(events);
    }
    return code;
}

}  // namespace
}  // namespace cyclara::simulator

int main(int argc, char** argv) {
    using namespace cyclara::simulator;
    SimOptions options;
    const int parsed = ParseOptions(argc, argv, options);
    if (parsed >= 0) {
        return parsed;
    }
    InstallHandler(SIGINT, OnStopSignal);
    InstallHandler(SIGTERM, OnStopSignal);
    InstallHandler(SIGCHLD, OnChildEnded);
    try {
        return Simulate(options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cyclara-sim: %s\n", error.what());
        return 1;
    }
}
