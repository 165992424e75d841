// The Linux serial backend end to end on real pseudo-terminals, with modem lines emulated at
// the ioctl boundary.
#include "measure/line_assembler.h"
#include "measure/measurement_log.h"
#include "measure/receive_thread.h"
#include "serial/adapter.h"
#include "serial/line_watcher_posix.h"
#include "serial/serial_port.h"
#include "simulator/modem_control.h"
#include "simulator/pty.h"
#include "tests/recording_display.h"
#include "tests/process_memory.h"
#include "tests/temp_folder.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ctime>
#include <thread>

namespace cyclara::testing {
using simulator::ModemControl;
using simulator::Pty;

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Checks `done` every half millisecond until it holds or the deadline passes.
template <class Done>
bool WaitUntil(Done done, milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = steady_clock::now() + timeout;
    while (!done()) {
        if (steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

// What every thread of this process has spent so far.
milliseconds ProcessCpuTime() {
    timespec spent{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &spent);
    return milliseconds(spent.tv_sec * 1000 + spent.tv_nsec / 1'000'000);
}

// A pty with emulated modem lines, and a port whose every number names its slave.
class EmulatedPort {
  public:
    EmulatedPort()
        : m_modem(ModemControl::ForThisProcess()),
          m_slot(m_modem.Attach(m_pty.SlavePath())),
          port([path = m_pty.SlavePath()](int32_t) { return path; }) {}
    ~EmulatedPort() {
        port.Close();
        m_modem.Detach(m_slot);
    }

    ModemControl& Modem() { return m_modem; }

    // One DSR edge, once the program is watching for it.
    void Edge(bool on) {
        ASSERT_TRUE(m_modem.WaitUntilWatched(m_slot));
        m_modem.SetDsr(m_slot, on);
    }
    int Slot() const { return m_slot; }
    Pty& Line() { return m_pty; }
    CommDevice& Device() { return *port.GetHandle(); }

  private:
    Pty m_pty;
    ModemControl& m_modem;
    int m_slot;

  public:
    CSerialPort port;
};

// The driver behind a device, from a sysfs tree made here: a by-id link is followed to the tty.
TEST(AdapterTest, TheDriverBehindADeviceAndWhatItMeansForTheTimestamps) {
    const struct {
        const char* tty;
        const char* driver;  // none: no device/driver link
        Adapter::Kind kind;
        const char* says;
    } cases[] = {{"ttyS0", "serial8250", Adapter::Kind::kUart, "a native UART"},
                 {"ttyUSB0", "ftdi_sio", Adapter::Kind::kUsb, "delays the text lines, not DSR"},
                 {"ttyACM0", "cdc_acm", Adapter::Kind::kUsb, "in its next USB transfer"},
                 {"ttyXR0", "xr_serial_new", Adapter::Kind::kUnknown, "no measurements"},
                 {"ttyGS0", nullptr, Adapter::Kind::kUnknown, "does not name"},
                 {"pts/5", nullptr, Adapter::Kind::kPseudoTerminal, "no serial line"}};
    TempFolder folder;
    const std::filesystem::path root = folder.Path();
    for (const auto& c : cases) {
        const std::filesystem::path device = root / "dev" / c.tty;
        std::filesystem::create_directories(device.parent_path());
        std::ofstream(device.string()) << "";
        const std::filesystem::path byId =
            root / "dev" / ("by-id-" + std::filesystem::path(c.tty).filename().string());
        std::filesystem::create_symlink(device, byId);
        const std::filesystem::path tty = root / "sys/class/tty" / c.tty / "device";
        std::filesystem::create_directories(tty);
        if (c.driver != nullptr) {
            std::filesystem::create_symlink(root / "sys/bus/drivers" / c.driver, tty / "driver");
        }
        const Adapter adapter = FindAdapter(byId.string(), (root / "sys").string());
        EXPECT_EQ(adapter.kind, c.kind) << c.tty;
        EXPECT_NE(DescribeAdapter(adapter).find(c.says), std::string::npos)
            << DescribeAdapter(adapter);
    }
}

TEST(PosixPortTest, IsHeldExclusively) {
    EmulatedPort emulated;
    ASSERT_EQ(emulated.port.Open(5, 9600), 1);
    CSerialPort other([&](int32_t) { return emulated.Line().SlavePath(); });
    EXPECT_EQ(other.Open(5, 9600), 0);
    EXPECT_EQ(other.IsOpen(), 0);
    emulated.port.Close();
    EXPECT_EQ(other.Open(5, 9600), 1) << "closing releases the port";
}

TEST(PosixPortTest, SetsTheExactRateAndRawEightBitLineAndKeepsFlowControl) {
    EmulatedPort emulated;
    // Opened first, so that the port's exclusive use does not shut this reader out.
    const int reader = open(emulated.Line().SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    termios2 before{};
    ASSERT_EQ(ioctl(reader, TCGETS2, &before), 0);
    before.c_cflag |= CRTSCTS | PARENB | CSTOPB;
    before.c_iflag |= ICRNL | IXON | ISTRIP;
    ASSERT_EQ(ioctl(reader, TCSETS2, &before), 0);

    for (const int32_t rate : {14400, 115200, 110}) {
        ASSERT_EQ(emulated.port.Open(13, rate), 1);
        termios2 after{};
        ASSERT_EQ(ioctl(reader, TCGETS2, &after), 0);
        EXPECT_EQ(after.c_ospeed, static_cast<speed_t>(rate));
        EXPECT_EQ(after.c_ispeed, static_cast<speed_t>(rate));
        EXPECT_EQ(after.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
        EXPECT_EQ(after.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(after.c_cflag & (PARENB | CSTOPB), 0u);
        EXPECT_EQ(after.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_NE(after.c_cflag & CRTSCTS, 0u) << "hardware flow control is the driver's";
        EXPECT_EQ(after.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF), 0u);
        EXPECT_EQ(after.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        emulated.port.Close();
    }
    close(reader);
}

// Waits for the next DSR change the device reports.
DsrChange NextDsrChange(CommDevice& device) {
    for (;;) {
        uint32_t events = 0;
        EXPECT_TRUE(device.WaitEvent(events));
        DsrChange change;
        if ((events & kEvDsr) && device.ReadDsrChange(change)) {
            return change;
        }
    }
}

TEST(LineWatcherTest, AReaderFarBehindLosesOnlyTheOldestChangesAndCountsThem) {
    Pty pty;
    ModemControl& modem = ModemControl::ForThisProcess();
    const int slot = modem.Attach(pty.SlavePath());
    const int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const int extra = 100;
    const int edges = static_cast<int>(LineWatcher::kQueueLimit) + extra;
    {
        LineWatcher watcher(fd, [] {});
        watcher.Start();
        for (int edge = 0; edge < edges; ++edge) {
            ASSERT_TRUE(modem.WaitUntilWatched(slot)) << edge;
            modem.SetDsr(slot, edge % 2 == 0);
        }
        ASSERT_TRUE(modem.WaitUntilWatched(slot));
        watcher.Stop();
        EXPECT_EQ(watcher.DroppedChanges(), static_cast<uint64_t>(extra));
        std::vector<DsrChange> kept;
        while (const std::optional<DsrChange> change = watcher.Take()) {
            kept.push_back(*change);
        }
        ASSERT_EQ(kept.size(), LineWatcher::kQueueLimit);
        EXPECT_TRUE(kept.front().on) << "the change after the dropped ones is the edge " << extra;
        EXPECT_EQ(kept.back().on, (edges - 1) % 2 == 0) << "the line's latest state is kept";
    }
    close(fd);
    modem.Detach(slot);
}

TEST(PosixPortTest, APulseOverBeforeTheStatusIsReadStillCounts) {
    EmulatedPort emulated;
    ASSERT_EQ(emulated.port.Open(1, 9600), 1);
    CommDevice& device = emulated.Device();
    device.SetEventMask(kEvRxChar | kEvDsr);
    ASSERT_TRUE(emulated.Modem().WaitUntilWatched(emulated.Slot()));
    emulated.Modem().PulseDsr(emulated.Slot());
    const DsrChange pulse = NextDsrChange(device);
    EXPECT_TRUE(pulse.pulse);
    EXPECT_FALSE(pulse.on);
}

std::string Describe(const RecordingDisplay& display) {
    std::string text;
    for (const DisplayUpdate& update : display.updates) {
        text += std::to_string(update.id) + ":" + update.text + " ";
    }
    return text;
}

// The receive thread over a real pty, with its log in a test folder.
class PosixReceiveTest : public ::testing::Test {
  protected:
    PosixReceiveTest()
        : log(SystemLocalTime, {[this] { return folder.WithSeparator(); }}), receiver(log, lines) {}

    void Start() {
        ASSERT_EQ(emulated.port.Open(1, 9600), 1);
        receiver.StartThread(emulated.Device(), display);
        ASSERT_TRUE(emulated.Modem().WaitUntilWatched(emulated.Slot()));
    }

    TempFolder folder;
    MeasurementLog log;
    LineAssembler lines;
    EmulatedPort emulated;
    WaitableDisplay display;
    Receiver receiver;
};

// Modem lines that fail (a driver error) take the lamp, not the text.
TEST_F(PosixReceiveTest, AFailedDsrWatchLeavesTheTextGoing) {
    Start();
    emulated.Modem().Remove(emulated.Slot());
    ASSERT_TRUE(display.WaitFor([](const RecordingDisplay& d) {
        return !d.updates.empty() && d.updates.back() == DisplayUpdate{IDC_LED, "unlit"};
    }));
    emulated.Line().Send("50Hz\r\n");
    EXPECT_TRUE(display.WaitFor([](const RecordingDisplay& d) {
        return d.fields.count(IDC_FREQ) && d.fields.at(IDC_FREQ) == "50";
    })) << Describe(display.Snapshot());
    receiver.EndThread();
    EXPECT_FALSE(receiver.LastStopWasForced());
}

TEST_F(PosixReceiveTest, ARemovedDeviceUnlightsTheLampCostsNextToNothingAndStillStops) {
    Start();
    emulated.Edge(true);
    ASSERT_TRUE(display.WaitFor([](const RecordingDisplay& d) { return !d.updates.empty(); }));
    emulated.Modem().Remove(emulated.Slot());
    emulated.Line().CloseMaster();
    EXPECT_TRUE(display.WaitFor([](const RecordingDisplay& d) {
        return d.updates.back() == DisplayUpdate{IDC_LED, "unlit"};
    }));
    const milliseconds cpuBefore = ProcessCpuTime();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const milliseconds cpu = ProcessCpuTime() - cpuBefore;
    std::printf("removed device: %lld ms CPU in 2 s\n", static_cast<long long>(cpu.count()));
    EXPECT_LT(cpu, milliseconds(20)) << "under 1% of one processor";
    const auto stopStart = steady_clock::now();
    receiver.EndThread();
    emulated.port.Close();
    EXPECT_LT(steady_clock::now() - stopStart, Receiver::kStopWait);
    EXPECT_FALSE(receiver.LastStopWasForced());
}

// What the process holds: open descriptors, threads and resident memory.
struct Holdings {
    long descriptors = 0;
    long threads = 0;
    long residentKib = 0;
};

long EntriesIn(const char* folder) {
    const auto entries = std::filesystem::directory_iterator(folder);
    return static_cast<long>(std::distance(begin(entries), end(entries)));
}

Holdings Holding() {
    return {EntriesIn("/proc/self/fd"), EntriesIn("/proc/self/task"), ResidentKib().value_or(0)};
}

TEST_F(PosixReceiveTest, AThousandOpeningsAndClosingsWithPulsesArrivingLeakNothing) {
    std::atomic<bool> done{false};
    std::thread pulses([&] {
        for (bool on = true; !done; on = !on) {
            emulated.Modem().SetDsr(emulated.Slot(), on);
            std::this_thread::sleep_for(milliseconds(1));
        }
    });
    const auto cycle = [&] {
        ASSERT_EQ(emulated.port.Open(1, 9600), 1);
        receiver.StartThread(emulated.Device(), display);
        receiver.EndThread();
        ASSERT_FALSE(receiver.LastStopWasForced());
        emulated.port.Close();
    };
    for (int i = 0; i < 20; ++i) {
        cycle();
    }
    const Holdings before = Holding();
    for (int i = 0; i < 1000; ++i) {
        cycle();
    }
    const Holdings after = Holding();
    done = true;
    pulses.join();
    std::printf("1000 openings: descriptors %ld -> %ld, threads %ld -> %ld, %ld -> %ld KiB\n",
                before.descriptors, after.descriptors, before.threads, after.threads,
                before.residentKib, after.residentKib);
    EXPECT_EQ(after.descriptors, before.descriptors);
    EXPECT_EQ(after.threads, before.threads);
    if (!kSanitized) {
        EXPECT_LT(after.residentKib - before.residentKib, 1024);
    }
}

// A USB adapter answers a status read by a control transfer, which can take seconds and
// which no signal ends.
TEST_F(PosixReceiveTest, ADriverCallDeafToSignalsDoesNotHoldTheClose) {
    emulated.Modem().Stall(emulated.Slot(), std::chrono::seconds(3));
    ASSERT_EQ(emulated.port.Open(1, 9600), 1);
    receiver.StartThread(emulated.Device(), display);
    ASSERT_TRUE(WaitUntil([&] { return emulated.Modem().StatusReads(emulated.Slot()) > 0; }));
    const auto stopStart = steady_clock::now();
    receiver.EndThread();
    emulated.port.Close();
    const milliseconds took =
        std::chrono::duration_cast<milliseconds>(steady_clock::now() - stopStart);
    std::printf("close during a 3 s driver call: %lld ms\n", static_cast<long long>(took.count()));
    EXPECT_LT(took, Receiver::kStopWait);
    EXPECT_FALSE(receiver.LastStopWasForced());
}

struct FaultCase {
    const char* name;
    unsigned long request;
    uint32_t calls;
    int error;
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

class DeviceFaultTest : public PosixReceiveTest, public ::testing::WithParamInterface<FaultCase> {};

// Each fault starts with the next call of its request after a rising edge, and ends by itself.
TEST_P(DeviceFaultTest, MeasuringResumesWhenTheFaultEndsAndNothingSpins) {
    const FaultCase& fault = GetParam();
    Start();
    const milliseconds cpuBefore = ProcessCpuTime();
    const auto start = steady_clock::now();
    ModemControl& modem = emulated.Modem();
    const uint32_t waitsBefore = modem.WaitEntries(emulated.Slot());
    modem.FailCalls(emulated.Slot(), fault.request, 0, fault.calls, fault.error);
    modem.SetDsr(emulated.Slot(), true);
    // Over when the watcher waits for the line again; edges sent sooner would only move the
    // state it starts from.
    ASSERT_TRUE(WaitUntil([&] { return modem.WaitEntries(emulated.Slot()) > waitsBefore; }));
    emulated.Edge(false);
    emulated.Edge(true);
    EXPECT_TRUE(display.WaitFor([](const RecordingDisplay& d) {
        return d.updates.size() >= 3 && d.updates.back() == DisplayUpdate{IDC_LED, "lit"};
    })) << Describe(display.Snapshot());
    const milliseconds cpu = ProcessCpuTime() - cpuBefore;
    const auto took = std::chrono::duration_cast<milliseconds>(steady_clock::now() - start);
    std::printf("%s: %lld ms CPU in %lld ms\n", fault.name, static_cast<long long>(cpu.count()),
                static_cast<long long>(took.count()));
    EXPECT_LT(cpu * 5, took + milliseconds(50)) << "a fifth of one processor at most";
    receiver.EndThread();
    EXPECT_FALSE(receiver.LastStopWasForced());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DeviceFaultTest,
    ::testing::Values(FaultCase{"StatusReadFailsThrice", TIOCMGET, 3, EIO},
                      FaultCase{"WaitFailsThrice", TIOCMIWAIT, 3, ENODEV},
                      FaultCase{"StatusReadInterruptedOften", TIOCMGET, 50, EINTR},
                      FaultCase{"CounterFails", TIOCGICOUNT, 2, EIO}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cyclara::testing
