// The name a logger publishes under: stable from run to run (Home Assistant keeps its entities
// by it), never shared by two loggers on one machine.
#include "logger/mqtt/meter_name.h"
#include "logger/mqtt/name_claim.h"
#include "logger/process_id.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

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

// The claim is what the platform keeps for the process (an abstract socket, a named mutex): a
// second logger on the machine must find the name held, and a later one find it free.
TEST(MeterNameTest, ANameIsHeldByOneClaimAtATimeAndFreedWithIt) {
    // The process's own: the builds' tests run side by side on one machine.
    const std::string name = "cyclara-test-claim-" + std::to_string(ProcessId());
    enum class Step { kClaim, kRelease };
    const struct {
        Step step;
        size_t claim;  // which of the two held claims the step fills or empties
        bool held;     // kClaim: whether it got the name
    } script[] = {
        {Step::kClaim, 0, true}, {Step::kClaim, 1, false}, {Step::kRelease, 0, false},
        {Step::kClaim, 1, true}, {Step::kClaim, 0, false}, {Step::kRelease, 1, false},
        {Step::kClaim, 0, true},
    };
    std::vector<std::unique_ptr<NameClaim>> claims(2);
    for (size_t i = 0; i < std::size(script); ++i) {
        const auto& step = script[i];
        if (step.step == Step::kRelease) {
            claims[step.claim].reset();
            continue;
        }
        claims[step.claim] = ClaimName(name);
        EXPECT_EQ(claims[step.claim] != nullptr, step.held) << "step " << i;
    }
}

}  // namespace
}  // namespace cyclara::logger
