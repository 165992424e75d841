// The simulated device's edges, in virtual time: a recording played back gives each interval
// the nominal's cycles at the recording's frequency at the interval's middle (its readings
// followed in straight lines), whichever layout the recording has.
#include "record/record_layout.h"
#include "simulator/frequency_profile.h"
#include "simulator/pulse_plan.h"
#include "tests/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace cyclara::simulator {
namespace {

// Three seconds at 50.5 Hz and three at 49.5 Hz, over and over.
double PlateauHz(int second) {
    return (second / 3) % 2 == 0 ? 50.5 : 49.5;
}

std::string Utc(int second, char between) {
    char text[32];
    std::snprintf(text, sizeof text, "2026-12-07%c13:00:%02d", between, second);
    return text;
}

void WriteRecording(const std::string& path, const std::string& layout, int seconds) {
    std::ofstream file(path);
    if (layout == "record") {
        file << kRecordColumns << "\n";
    }
    for (int second = 0; second < seconds; ++second) {
        char row[160];
        if (layout == "record") {
            std::snprintf(row, sizeof row, "%s.000000Z,%d,,%.5f,,,,,,50,%d", Utc(second, 'T').c_str(),
                          second, PlateauHz(second), kRecordLayout);
        } else {
            std::snprintf(row, sizeof row, "%s,%.1f", Utc(second, ' ').c_str(),
                          (PlateauHz(second) - 50) * 1000);
        }
        file << row << "\n";
    }
}

TEST(PulsePlanTest, ARecordingPlayedBackGivesEachIntervalTheFrequencyAtItsMiddle) {
    constexpr int kSeconds = 24;
    for (const std::string layout : {"record", "database"}) {
        testing::TempFolder folder;
        const std::string path = (folder.Path() / "recording.csv").string();
        WriteRecording(path, layout, kSeconds);
        std::string whyNot;
        const std::optional<FrequencyProfile> profile =
            FrequencyProfile::ReadReplay(path, 50, whyNot);
        ASSERT_TRUE(profile) << layout << ": " << whyNot;
        PulsePlan plan({.profile = &*profile, .nominalHz = 50});
        int64_t rise = plan.NextRiseNs();
        ASSERT_EQ(rise, 0);
        for (int interval = 0; interval + 1 < kSeconds; ++interval) {
            const int64_t next = plan.NextRiseNs();
            // Inside a plateau its own frequency; across the step, halfway.
            const double middleHz = interval % 3 == 2
                                        ? (PlateauHz(interval) + PlateauHz(interval + 1)) / 2
                                        : PlateauHz(interval);
            const double expectedNs = 50 / middleHz * 1e9;
            // The rises are whole nanoseconds: each interval within one of its ideal length.
            EXPECT_LE(std::abs(static_cast<double>(next - rise) - expectedNs), 1.0)
                << layout << ", interval " << interval;
            rise = next;
        }
    }
}

}  // namespace
}  // namespace cyclara::simulator
