#include "logger/pipeline_watch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cyclara::logger {
namespace {

// Looks once a second at the rises counts given ('W' for a wait for the device instead);
// what the watch told, as "quiet@s" and "again@s", and whether it fed the watchdog each time.
struct Watched {
    std::vector<std::string> told;
    std::string fed;  // "y" or "n" a look
};

Watched Watch(const std::vector<int> looks) {
    PipelineWatch watch;
    const auto start = PipelineWatch::Clock::now();
    Watched result;
    for (size_t second = 0; second < looks.size(); ++second) {
        const auto now = start + std::chrono::seconds(second);
        if (looks[second] < 0) {
            watch.Waiting(now);
        } else if (const auto change = watch.Look(looks[second], now);
                   change != PipelineWatch::Change::kNone) {
            result.told.push_back((change == PipelineWatch::Change::kQuiet ? "quiet@" : "again@") +
                                  std::to_string(second));
        }
        result.fed += watch.Moving() ? "y" : "n";
    }
    return result;
}

TEST(PipelineWatchTest, QuietOnlyAfterTenSecondsWithoutARiseWhileTheDeviceIsThere) {
    constexpr int W = -1;
    const struct {
        const char* name;
        std::vector<int> looks;
        std::vector<std::string> told;
        std::string fed;
    } cases[] = {
        {"pulses every second", {0, 1, 2, 3, 4, 5}, {}, "yyyyyy"},
        {"nine quiet seconds", {0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2}, {}, "yyyyyyyyyyyy"},
        {"ten quiet seconds, then a pulse",
         {0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2}, {"quiet@11", "again@13"}, "yyyyyyyyyyynny"},
        {"a wait for the device is no quiet",
         {0, W, W, W, W, W, W, W, W, W, W, W, 0, 0}, {}, "yyyyyyyyyyyyyy"},
    };
    for (const auto& c : cases) {
        const Watched watched = Watch(c.looks);
        EXPECT_EQ(watched.told, c.told) << c.name;
        EXPECT_EQ(watched.fed, c.fed) << c.name;
    }
}

}  // namespace
}  // namespace cyclara::logger
