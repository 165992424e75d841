// The receive thread over any script of a serial device: DSR changes with any counter readings
// (backwards, or years apart), bytes in reads of any size, failed waits and reads, and stops,
// also while the worker is still busy or pausing.
// Every field text must be one the window's formats produce, and every stop must come within
// its bound without ending the worker by force.
#include "fuzz/require.h"
#include "measure/line_assembler.h"
#include "measure/measurement_log.h"
#include "measure/receive_thread.h"
#include "tests/fake_comm_device.h"
#include "tests/recording_display.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include <unistd.h>

namespace {

using namespace cyclara;
using namespace cyclara::testing;
using cyclara::fuzz::Require;

void RequireFormatted(const DisplayUpdate& update) {
    static const std::regex kElapsed(R"( *\d+:[0-5]\d:[0-5]\d)");
    static const std::regex kWidth(R"(-?\d+)");
    static const std::regex kDifference(R"([-+ ]\d+)");
    switch (update.id) {
        case IDC_ELAPSED: Require(std::regex_match(update.text, kElapsed)); break;
        case IDC_WIDTH: Require(std::regex_match(update.text, kWidth)); break;
        case IDC_DIFF: Require(std::regex_match(update.text, kDifference)); break;
        case IDC_FREQ: Require(update.text.size() <= 2); break;
        case IDC_LED: Require(update.text == "lit" || update.text == "unlit"); break;
        default: Require(false);
    }
}

int64_t NextReading(FuzzedDataProvider& input, int64_t last) {
    if (input.ConsumeBool()) {
        return input.ConsumeIntegral<int64_t>();
    }
    // Mostly near the last: a few seconds either way, at the counter's nanoseconds.
    const int64_t step = input.ConsumeIntegralInRange<int64_t>(-3'000'000'000, 3'000'000'000);
    return static_cast<int64_t>(static_cast<uint64_t>(last) + static_cast<uint64_t>(step));
}

struct Segment {
    std::vector<FakeStep> steps;
    bool stopDuringPause = false;  // ends in a failed wait, and the stop comes in its pause
};

// The steps up to the next stop, or to the end of the input.
Segment NextSegment(FuzzedDataProvider& input, int64_t& reading) {
    Segment segment;
    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange(0, 5)) {
            case 0:
            case 1:
                reading = NextReading(input, reading);
                segment.steps.push_back(
                    {kEvDsr, DsrChange{input.ConsumeBool(), reading, input.ConsumeBool()}, ""});
                break;
            case 2:
                segment.steps.push_back(BytesStep(input.ConsumeRandomLengthString(300)));
                break;
            case 3: segment.steps.push_back({kEvDsr, std::nullopt, ""}); break;
            case 4:
                // The worker pauses after a failed wait; stopping then keeps runs quick, and
                // the stop must not wait the pause out.
                segment.steps.push_back(FailedWaitStep());
                segment.stopDuringPause = true;
                return segment;
            case 5: return segment;
        }
    }
    return segment;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("receive_thread_fuzz." + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    static int run = 0;
    ++run;
    // A new minute for every run, so that log names never collide.
    MeasurementLog log([] { return LocalTime{2024, 1, 1 + run / 1440 % 28, run / 60 % 24,
                                             run % 60, 0}; },
                       {[] { return folder.string() + "/"; }});
    LineAssembler lines;
    Receiver receiver(log, lines);
    FuzzedDataProvider input(data, size);
    int64_t reading = 0;
    do {
        FakeCommDevice device;
        RecordingDisplay display;
        Segment segment = NextSegment(input, reading);
        device.Add(std::move(segment.steps));
        receiver.StartThread(device, display);
        if (!segment.stopDuringPause) {
            device.WaitUntilIdle();
        }
        const auto stopping = std::chrono::steady_clock::now();
        receiver.EndThread();
        Require(std::chrono::steady_clock::now() - stopping < Receiver::kStopWait);
        Require(!receiver.LastStopWasForced());
        for (const DisplayUpdate& update : display.updates) {
            RequireFormatted(update);
        }
        std::filesystem::remove(log.Path());
    } while (input.remaining_bytes() > 0);
    return 0;
}
