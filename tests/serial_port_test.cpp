#include "serial/serial_port.h"
#include "serial/dsr_transitions.h"

#include <gtest/gtest.h>

namespace cyclara {
namespace {

// A dialog list with nothing chosen gives position -1: no port and no rate, no device touched.
TEST(SerialPortTest, AChoiceOutsideTheListsTouchesNothing) {
    const struct {
        int32_t portNumber;
        int32_t speedIndex;
    } cases[] = {{0, 6}, {21, 6}, {1, -1}, {1, 12}};
    for (const auto& c : cases) {
        int named = 0;
        CSerialPort port([&](int32_t) {
            ++named;
            return std::string("/dev/null");
        });
        EXPECT_EQ(port.Open(c.portNumber, SpeedAt(c.speedIndex)), 0) << c.speedIndex;
        EXPECT_EQ(named, 0);
        EXPECT_EQ(port.IsOpen(), 0);
        EXPECT_EQ(port.GetHandle(), nullptr);
    }
}

TEST(SerialPortTest, AMissingDeviceDoesNotOpenAndCloseIsHarmless) {
    CSerialPort port([](int32_t number) { return "/nonexistent/tty" + std::to_string(number); });
    EXPECT_EQ(port.Open(20, 115200), 0);
    EXPECT_EQ(port.IsOpen(), 0);
    port.Close();
    port.Close();
    EXPECT_EQ(port.IsOpen(), 0);
}

TEST(DsrTransitionsTest, InterpretsOneWake) {
    struct Case {
        bool wasOn;
        uint32_t transitions;
        bool isOn;
        std::optional<DsrChange> expected;
    };
    const Case cases[] = {
        {false, 1, true, DsrChange{true, 77, true}},    // a rising edge
        {true, 1, false, DsrChange{false, 0, false}},   // a falling edge
        {false, 2, false, DsrChange{true, 77, false}},  // a pulse already over
        {true, 2, true, DsrChange{true, 77, true}},     // fell and rose again
        {false, 3, true, DsrChange{true, 77, true}},
        {false, 0, false, std::nullopt},               // nothing happened
        {false, 0, true, DsrChange{true, 77, true}},   // the counter missed the edge
        {true, 2, false, DsrChange{true, 77, false}},  // an odd change counted even
    };
    for (const Case& c : cases) {
        const auto change = DsrChangeOfWake(c.wasOn, c.transitions, c.isOn, 77);
        ASSERT_EQ(change.has_value(), c.expected.has_value()) << c.wasOn << c.transitions;
        if (change) {
            EXPECT_EQ(change->pulse, c.expected->pulse) << c.wasOn << c.transitions << c.isOn;
            EXPECT_EQ(change->pulseTicks, c.expected->pulseTicks);
            EXPECT_EQ(change->on, c.expected->on);
        }
    }
}

}  // namespace
}  // namespace cyclara
