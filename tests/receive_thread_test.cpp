#include "measure/receive_thread.h"
#include "measure/counter.h"
#include "measure/line_assembler.h"
#include "measure/measurement_log.h"
#include "measure/synchronous_display.h"
#include "tests/fake_comm_device.h"
#include "tests/recording_display.h"
#include "tests/process_memory.h"
#include "tests/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>

namespace cyclara::testing {
namespace {

// Readings one nominal second plus 10 us apart at the counter's own frequency, which is what
// the receive thread measures with (1 GHz on Linux, the performance counter's on Windows).
const int64_t kSlowSecond = ReadCounterFrequency() + ReadCounterFrequency() / 100'000;

std::vector<FakeStep> SlowPulses(int count, int64_t first = 1'000'000) {
    std::vector<FakeStep> steps;
    for (int i = 0; i < count; ++i) {
        steps.push_back(PulseStep(first + i * kSlowSecond));
    }
    return steps;
}

std::vector<FakeStep> Concat(std::vector<FakeStep> a, const std::vector<FakeStep>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const DisplayUpdate kLit{IDC_LED, "lit"};
const DisplayUpdate kUnlit{IDC_LED, "unlit"};

class ReceiveThreadTest : public ::testing::Test {
  protected:
    ReceiveThreadTest()
        : log([this] { return now; }, {[this] { return folder.WithSeparator(); }}),
          receiver(log, lines) {}

    // Runs the receive thread over `steps` until it is idle again, then stops it.
    void RunScript(std::vector<FakeStep> steps) {
        device.Add(std::move(steps));
        receiver.StartThread(device, display);
        device.WaitUntilIdle();
        receiver.EndThread();
        EXPECT_FALSE(receiver.LastStopWasForced());
    }

    TempFolder folder;
    LocalTime now{2024, 1, 5, 9, 3, 7};
    MeasurementLog log;
    LineAssembler lines;
    FakeCommDevice device;
    RecordingDisplay display;
    Receiver receiver;
};

TEST_F(ReceiveThreadTest, StartsWithAnEmptyLogAndArmedMaskAndStopsByNarrowingIt) {
    RunScript({});
    EXPECT_EQ(log.Path(), folder.WithSeparator() + "2024.01.05_09.03.07.csv");
    EXPECT_EQ(ReadWholeFile(log.Path()), "");
    EXPECT_EQ(device.prepared, 1);
    EXPECT_EQ(device.masks, (std::vector<uint32_t>{kEvRxChar | kEvDsr, kEvRxChar}));
    EXPECT_FALSE(receiver.Stop().IsRequested());
    EXPECT_TRUE(display.updates.empty());
}

struct WakeCase {
    const char* name;
    FakeStep step;
    std::vector<DisplayUpdate> updates;
};

void PrintTo(const WakeCase& c, std::ostream* out) {
    *out << c.name;
}

class ReceiveWakeTest : public ReceiveThreadTest, public ::testing::WithParamInterface<WakeCase> {};

TEST_P(ReceiveWakeTest, HandlesOneWake) {
    RunScript({GetParam().step});
    EXPECT_EQ(display.updates, GetParam().updates);
}

INSTANTIATE_TEST_SUITE_P(
    Wakes, ReceiveWakeTest,
    ::testing::Values(
        WakeCase{"DsrBeforeBytes",
                 {kEvDsr | kEvRxChar, DsrChange{true, 5, true}, "60Hz\r\n"},
                 {kLit, {IDC_FREQ, "60"}}},
        WakeCase{"DsrOffUnlightsOnly", {kEvDsr, DsrChange{false, 0, false}, ""}, {kUnlit}},
        WakeCase{"PulseAlreadyOver", {kEvDsr, DsrChange{true, 5, false}, ""}, {kLit, kUnlit}},
        WakeCase{"UnreadableModemStatusIsIgnored", {kEvDsr, std::nullopt, ""}, {}},
        WakeCase{"ReadWithoutBytes", {kEvRxChar, std::nullopt, ""}, {}},
        WakeCase{
            "BytesWithoutTheirEvent", {kEvDsr, DsrChange{false, 0, false}, "60Hz\r\n"}, {kUnlit}},
        WakeCase{"NoEventBits", {0, DsrChange{true, 5, true}, "60Hz\r\n"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReceiveThreadTest, BytesReachTheLineAssemblerInArrivalOrder) {
    RunScript({BytesStep("60Hz\r\n50"), BytesStep("Hz\r\n")});
    EXPECT_EQ(display.updates, (std::vector<DisplayUpdate>{{IDC_FREQ, "60"}, {IDC_FREQ, "50"}}));
    EXPECT_EQ(device.readSizes, (std::vector<uint32_t>{kReadChunkBytes, kReadChunkBytes}));
}

TEST_F(ReceiveThreadTest, ReopeningStartsFromWarmUpWithANewLogAndKeepsTheLine) {
    RunScript(Concat(SlowPulses(5), {BytesStep("60H")}));
    const std::string firstLog = log.Path();
    display.Take();

    now.second += 1;
    RunScript(Concat(SlowPulses(3, 50'000'000'000), {BytesStep("z\r\n")}));
    EXPECT_EQ(display.Take(), (std::vector<DisplayUpdate>{kLit, kLit, kLit, {IDC_FREQ, "60"}}));
    EXPECT_NE(log.Path(), firstLog);
    EXPECT_EQ(ReadWholeFile(firstLog), "2024/01/05 09:03:07,0:00:00,+10\r\n");
    EXPECT_EQ(ReadWholeFile(log.Path()), "");
}

TEST_F(ReceiveThreadTest, FailedWaitsUnlightOncePauseAndMeasuringResumesAfterThem) {
    const auto start = std::chrono::steady_clock::now();
    RunScript(Concat(Concat(SlowPulses(1), std::vector<FakeStep>(4, FailedWaitStep())),
                     SlowPulses(1, 9'000'000'000)));
    // A loop that spun would be through the four failures at once.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 4 * Receiver::kFailedWaitPause);
    EXPECT_EQ(display.updates, (std::vector<DisplayUpdate>{kLit, kUnlit, kLit}));
}

TEST_F(ReceiveThreadTest, AWorkerDeafToTheStopIsEndedAfterTheBoundAndTheNextOpeningWorks) {
    device.Add(SlowPulses(1));
    receiver.StartThread(device, display);
    device.WaitUntilIdle();
    device.Deafen();
    const auto start = std::chrono::steady_clock::now();
    receiver.EndThread();
    EXPECT_GE(std::chrono::steady_clock::now() - start, Receiver::kStopWait);
    EXPECT_TRUE(receiver.LastStopWasForced());
    EXPECT_FALSE(receiver.Stop().IsRequested());

    device.Hear();
    now.second += 1;
    RunScript(SlowPulses(2, 50'000'000'000));
    EXPECT_EQ(display.updates, (std::vector<DisplayUpdate>{kLit, kLit, kLit}));
}

TEST_F(ReceiveThreadTest, TenDaysOfPulsesGiveExactFieldsAndOneRowEveryTenMinutes) {
    constexpr int kDays = 10;
    constexpr int64_t kSecondsADay = 86'400;
    receiver.StartThread(device, display);
    std::optional<long> afterSecondDay;
    // Two warm-up pulses and the reference come before the first counted interval.
    int64_t next = 0;
    for (int day = 0; day < kDays; ++day) {
        const int64_t pulses = kSecondsADay + (day == 0 ? 3 : 0);
        device.Add(SlowPulses(static_cast<int>(pulses), 1'000'000 + next * kSlowSecond));
        next += pulses;
        device.WaitUntilIdle();
        display.Take();
        if (day == 1) {
            afterSecondDay = ResidentKib();
        }
    }
    receiver.EndThread();
    EXPECT_EQ(display.fields[IDC_ELAPSED], "  240:00:00");
    EXPECT_EQ(display.fields[IDC_WIDTH], "1000010");
    EXPECT_EQ(display.fields[IDC_DIFF], "+10");
    // One row at the first interval, stamped 0:00:00, and one every ten minutes after it.
    std::string expected;
    for (int minutes = 0; minutes <= kDays * 24 * 60; minutes += 10) {
        expected += "2024/01/05 09:03:07," + std::to_string(minutes / 60) + ":" +
                    (minutes % 60 < 10 ? "0" : "") + std::to_string(minutes % 60) + ":00,+10\r\n";
    }
    EXPECT_EQ(ReadWholeFile(log.Path()), expected);
    if (const std::optional<long> atEnd = ResidentKib()) {
        std::printf("ten days: %ld KiB grown over the last eight\n", *atEnd - *afterSecondDay);
        if (!kSanitized) {
            EXPECT_LT(*atEnd - *afterSecondDay, 1024) << "KiB grown over eight days";
        }
    }
}

// Runs posted tasks only when told to, like a user-interface thread that is busy elsewhere.
class HeldDispatcher : public UiDispatcher {
  public:
    void Post(std::function<void()> task) override {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
        m_posted.notify_all();
    }
    void WaitForPost() {
        std::unique_lock lock(m_mutex);
        m_posted.wait(lock, [&] { return !m_tasks.empty(); });
    }
    void RunAll() {
        std::deque<std::function<void()>> tasks;
        {
            std::lock_guard lock(m_mutex);
            tasks.swap(m_tasks);
        }
        for (auto& task : tasks) {
            task();
        }
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_tasks;
};

TEST_F(ReceiveThreadTest, AStopIsNotHeldUpByAnUpdateTheWindowNeverApplies) {
    HeldDispatcher ui;
    SynchronousDisplay bridge(ui, display, receiver.Stop());
    device.Add(SlowPulses(1));
    receiver.StartThread(device, bridge);
    ui.WaitForPost();
    receiver.EndThread();
    EXPECT_FALSE(receiver.LastStopWasForced());
    ui.RunAll();
    EXPECT_TRUE(display.updates.empty()) << "an abandoned update is never applied";
}

TEST_F(ReceiveThreadTest, UpdatesAppliedByTheWindowArriveInOrder) {
    HeldDispatcher ui;
    SynchronousDisplay bridge(ui, display, receiver.Stop());
    device.Add(Concat(SlowPulses(4), {BytesStep("50Hz\r\n")}));
    const std::vector<DisplayUpdate> expected{kLit,
                                              kLit,
                                              kLit,
                                              kLit,
                                              {IDC_ELAPSED, "    0:00:01"},
                                              {IDC_WIDTH, "1000010"},
                                              {IDC_DIFF, "+10"},
                                              {IDC_FREQ, "50"}};
    receiver.StartThread(device, bridge);
    // Each update waits for its task, so the worker posts one task at a time.
    for (size_t i = 0; i < expected.size(); ++i) {
        ui.WaitForPost();
        ui.RunAll();
    }
    device.WaitUntilIdle();
    receiver.EndThread();
    EXPECT_EQ(display.updates, expected);
}

}  // namespace
}  // namespace cyclara::testing
