// Against a real measuring device: runs only when CYCLARA_HARDWARE_PORT names the device of a
// port with a 1PPS source on DSR (/dev/ttyUSB0, or \\.\COM3 on Windows), at the bit rate in
// CYCLARA_HARDWARE_BAUD (9600 when unset). Skipped otherwise.
#include "measure/line_assembler.h"
#include "measure/measurement_log.h"
#include "measure/receive_thread.h"
#include "serial/serial_port.h"
#include "tests/recording_display.h"
#include "tests/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace cyclara::testing {
namespace {

TEST(HardwareTest, MeasuresARealOnePulsePerSecondSource) {
    const char* device = std::getenv("CYCLARA_HARDWARE_PORT");
    if (device == nullptr || *device == '\0') {
        GTEST_SKIP() << "CYCLARA_HARDWARE_PORT names no device";
    }
    // Before the port opens: on a freshly booted machine, making the folder's random name can
    // wait for the kernel's random pool long enough to miss the first pulses.
    TempFolder folder;
    const char* baud = std::getenv("CYCLARA_HARDWARE_BAUD");
    CSerialPort port([path = std::string(device)](int32_t) { return path; });
    ASSERT_EQ(port.Open(1, baud != nullptr ? std::atoi(baud) : 9600), 1) << device;

    MeasurementLog log(SystemLocalTime, {[&] { return folder.WithSeparator(); }});
    LineAssembler lines;
    WaitableDisplay display;
    Receiver receiver(log, lines);
    receiver.StartThread(*port.GetHandle(), display);
    // Two warm-up pulses, the reference, then two measured: about five seconds.
    const bool measured = display.WaitFor(
        [](const RecordingDisplay& d) {
            const auto elapsed = d.fields.find(IDC_ELAPSED);
            return elapsed != d.fields.end() && elapsed->second == "    0:00:02";
        },
        std::chrono::seconds(15));
    receiver.EndThread();
    port.Close();
    ASSERT_TRUE(measured) << "no pulses on DSR";
    const long width = std::atol(display.Snapshot().fields[IDC_WIDTH].c_str());
    EXPECT_NEAR(width, 1'000'000, 10'000) << "a pulse about every second";
    EXPECT_FALSE(receiver.LastStopWasForced());
}

}  // namespace
}  // namespace cyclara::testing
