#include "logger/stop_request.h"

#include <gtest/gtest.h>

#include <vector>

namespace cyclara::logger {
namespace {

constexpr StopReason kClear = StopReason::kNone;  // in a sequence: ClearDeviceFailure

// What stands after a sequence of requests from the threads and clears between openings.
TEST(StopRequestTest, TheReasonThatStands) {
    const struct {
        std::vector<StopReason> sequence;
        StopReason stands;
        const char* why;
    } cases[] = {
        {{StopReason::kDeviceFailed, kClear}, StopReason::kNone, "a failed device is waited out"},
        {{StopReason::kDeviceFailed, StopReason::kSignal, kClear}, StopReason::kSignal,
         "a signal while the failed port closes"},
        {{StopReason::kSignal, StopReason::kDeviceFailed, kClear}, StopReason::kSignal,
         "the failure the stop itself caused"},
        {{StopReason::kCountReached, StopReason::kSignal}, StopReason::kCountReached,
         "the first of two stops"},
    };
    for (const auto& c : cases) {
        StopRequest stop;
        for (const StopReason step : c.sequence) {
            if (step == kClear) {
                stop.ClearDeviceFailure();
            } else {
                stop.Request(step);
            }
        }
        EXPECT_EQ(stop.WaitFor(std::chrono::milliseconds(0)), c.stands) << c.why;
    }
}

}  // namespace
}  // namespace cyclara::logger
