// The name a logger publishes under: stable from run to run (Home Assistant keeps its entities
// by it), never shared by two loggers on one machine.
#include "logger/mqtt/meter_name.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace cyclara::logger {
namespace {

TEST(MeterNameTest, TheFirstLoggerIsTheHostAndAnyOtherTheHostAndItsDevice) {
    const std::optional<std::string> none;
    const struct {
        const char* why;
        std::optional<std::string> remembered;
        bool hostNameHeld;
        const char* name;
        bool remember;
        bool said;
    } cases[] = {
        {"alone, the first run", none, false, "pi", true, false},
        {"a second logger's first run", none, true, "pi/ttyUSB1", true, false},
        {"the first, started after the second this time", "pi", false, "pi", false, false},
        {"the second, started first this time", "pi/ttyUSB1", false, "pi/ttyUSB1", false, false},
        {"the first, while another holds its name", "pi", true, "pi/ttyUSB1", false, true},
        {"a name from before the machine was renamed", "raspberrypi", false, "pi", true, false},
        {"a name that only starts as the host's", "pilot", true, "pi/ttyUSB1", true, false},
    };
    for (const auto& c : cases) {
        const MeterName chosen = ChooseMeterName("pi", "ttyUSB1", c.remembered, c.hostNameHeld);
        EXPECT_EQ(chosen.name, c.name) << c.why;
        EXPECT_EQ(chosen.remember, c.remember) << c.why;
        EXPECT_EQ(!chosen.said.empty(), c.said) << c.why;
    }
}

TEST(MeterNameTest, ADevicesNameIsOneTopicLevel) {
    const struct {
        const char* path;
        const char* instance;
    } cases[] = {
        {"/dev/ttyUSB1", "ttyUSB1"},
        {"/dev/serial/by-id/usb-FTDI_FT232R_A9X-if00-port0", "usb-FTDI_FT232R_A9X-if00-port0"},
        {"/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0", "pci-0000_00_14.0-usb-0_2_1.0"},
        {"COM5", "COM5"},
        {"\\\\.\\COM12", "COM12"},
        {"/dev/tty+#", "tty__"},
        {"/dev/", "device"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeviceInstance(c.path), c.instance) << c.path;
    }
}

}  // namespace
}  // namespace cyclara::logger
