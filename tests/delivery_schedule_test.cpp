// An output's deliveries in virtual time: what goes when, the back-off after a failure, what a
// full queue drops, what a refusal or a lost destination costs, and what a close delivers.
// Each attempt's time is checked exactly.
#include "logger/output/delivery_schedule.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace cyclara::logger {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kMillisecondNs = 1'000'000;

struct Attempt {
    int64_t atMs;
    std::vector<int> records;
    uint64_t missed;
    bool operator==(const Attempt&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Attempt& attempt) {
    out << "{" << attempt.atMs << " ms:";
    for (const int record : attempt.records) {
        out << " " << record;
    }
    return out << " missed " << attempt.missed << "}";
}

// A step of the script: at `atMs`, `push` more records (numbered on), or a close, then every
// batch due is delivered, each answered by the next of `answers` ("ok" once they are spent).
struct Step {
    int64_t atMs;
    int push = 0;
    bool close = false;
};

Delivery Answer(const std::string& answer, size_t size) {
    if (answer == "ok") {
        return Delivery::All(size);
    }
    if (answer == "half") {
        return {size / 2, Delivery::Trouble::kPassing, "away"};
    }
    return {0,
            answer == "passing"   ? Delivery::Trouble::kPassing
            : answer == "refused" ? Delivery::Trouble::kRefused
                                  : Delivery::Trouble::kGone,
            answer};
}

TEST(DeliveryScheduleTest, WhatGoesWhen) {
    const OutputPolicy one{.queueLimit = 10, .batchLimit = 1};
    const OutputPolicy backOff{
        .queueLimit = 10, .batchLimit = 10, .firstRetry = 1000ms, .longestRetry = 4000ms};
    const struct {
        const char* why;
        OutputPolicy policy;
        std::vector<Step> steps;
        std::vector<std::string> answers;
        std::vector<Attempt> attempts;
        std::vector<std::string> said;
        uint64_t dropped, refused;
        bool gone;
    } cases[] = {
        {"each in order, one a batch", one, {{0, 3}}, {},
         {{0, {1}, 0}, {0, {2}, 0}, {0, {3}, 0}}, {}, 0, 0, false},
        {"a batch holds up to its limit", {.queueLimit = 10, .batchLimit = 2}, {{0, 5}}, {},
         {{0, {1, 2}, 0}, {0, {3, 4}, 0}, {0, {5}, 0}}, {}, 0, 0, false},
        {"a batch period gathers what comes meanwhile",
         {.queueLimit = 10, .batchLimit = 100, .batchPeriod = 10'000ms},
         {{0, 1}, {1000, 1}, {2000, 1}, {9999}, {10'000}}, {},
         {{0, {1}, 0}, {10'000, {2, 3}, 0}}, {}, 0, 0, false},
        {"a whole batch goes before its period",
         {.queueLimit = 10, .batchLimit = 2, .batchPeriod = 10'000ms}, {{0, 1}, {1000, 2}}, {},
         {{0, {1}, 0}, {1000, {2, 3}, 0}}, {}, 0, 0, false},
        {"the back-off doubles up to its longest, said once", backOff,
         {{0, 1}, {999}, {1000}, {3000}, {6999}, {7000}, {11'000}, {11'001, 1}},
         {"passing", "passing", "passing", "passing"},
         {{0, {1}, 0}, {1000, {1}, 0}, {3000, {1}, 0}, {7000, {1}, 0}, {11'000, {1}, 0},
          {11'001, {2}, 0}},
         {"passing"}, 0, 0, false},
        {"a part delivered is not sent again", backOff, {{0, 4}, {1000}}, {"half"},
         {{0, {1, 2, 3, 4}, 0}, {1000, {3, 4}, 0}}, {"away"}, 0, 0, false},
        {"a refused batch is counted, said once, and the next goes",
         {.queueLimit = 10, .batchLimit = 2}, {{0, 6}}, {"refused", "refused"},
         {{0, {1, 2}, 0}, {0, {3, 4}, 0}, {0, {5, 6}, 0}}, {"refused"}, 0, 4, false},
        {"a full queue drops the oldest, and the destination hears of it",
         {.queueLimit = 3, .batchLimit = 10}, {{0, 5}}, {}, {{0, {3, 4, 5}, 2}}, {}, 2, 0,
         false},
        {"a lost destination ends the output, and what follows is dropped", one,
         {{0, 2}, {1, 1}}, {"gone"}, {{0, {1}, 0}}, {"gone"}, 3, 0, true},
        {"a close sends what waits at once, its period aside",
         {.queueLimit = 10, .batchLimit = 10, .batchPeriod = 60'000ms},
         {{0, 1}, {1000, 1}, {2000, 0, true}}, {}, {{0, {1}, 0}, {2000, {2}, 0}}, {}, 0, 0,
         false},
        {"at the close a destination that is away is not waited for", backOff,
         {{0, 2, true}, {5000}}, {"passing"}, {{0, {1, 2}, 0}}, {"passing"}, 2, 0, false},
        {"nothing is taken after the close", one, {{0, 1, true}, {10, 1}}, {},
         {{0, {1}, 0}}, {}, 1, 0, false},
    };
    for (const auto& c : cases) {
        DeliverySchedule schedule(c.policy);
        std::vector<Attempt> attempts;
        std::vector<std::string> said;
        size_t answered = 0;
        int pushed = 0;
        for (const Step& step : c.steps) {
            const int64_t nowNs = step.atMs * kMillisecondNs;
            for (int i = 0; i < step.push; ++i) {
                PulseReport report;
                report.unixNanoseconds = ++pushed;
                schedule.Push(report);
            }
            if (step.close) {
                schedule.Close(nowNs);
            }
            while (std::optional<DeliverySchedule::Batch> batch = schedule.TakeDue(nowNs)) {
                Attempt attempt{step.atMs, {}, batch->missed};
                for (const PulseReport& report : batch->reports) {
                    attempt.records.push_back(static_cast<int>(report.unixNanoseconds));
                }
                attempts.push_back(attempt);
                const std::string answer = answered < c.answers.size() ? c.answers[answered++]
                                                                       : "ok";
                const Delivery delivery = Answer(answer, batch->reports.size());
                if (std::string problem = schedule.Handle(delivery, std::move(*batch), nowNs);
                    !problem.empty()) {
                    said.push_back(problem);
                }
            }
        }
        if (schedule.Settled(c.steps.back().atMs * kMillisecondNs)) {
            schedule.Abandon();
        }
        EXPECT_EQ(attempts, c.attempts) << c.why;
        EXPECT_EQ(said, c.said) << c.why;
        EXPECT_EQ(schedule.Dropped(), c.dropped) << c.why;
        EXPECT_EQ(schedule.Refused(), c.refused) << c.why;
        EXPECT_EQ(schedule.Gone(), c.gone) << c.why;
    }
}

TEST(DeliveryScheduleTest, AHurriedScheduleSendsWithoutWaitingForItsPeriodButForItsRetry) {
    DeliverySchedule schedule({.queueLimit = 10,
                               .batchLimit = 10,
                               .batchPeriod = 60'000ms,
                               .firstRetry = 1000ms,
                               .longestRetry = 1000ms});
    PulseReport report;
    schedule.Push(report);
    ASSERT_TRUE(schedule.TakeDue(0));
    schedule.Push(report);
    schedule.Hurry();
    std::optional<DeliverySchedule::Batch> batch = schedule.TakeDue(1);
    ASSERT_TRUE(batch) << "its period aside";
    schedule.Handle({0, Delivery::Trouble::kPassing, ""}, std::move(*batch), 1);
    EXPECT_FALSE(schedule.TakeDue(2)) << "a retry waits its time";
    EXPECT_TRUE(schedule.TakeDue(1 + 1000 * kMillisecondNs));
}

TEST(DeliveryScheduleTest, ItSaysWhenToLookAgain) {
    DeliverySchedule schedule({.queueLimit = 10, .batchLimit = 10, .batchPeriod = 5000ms});
    EXPECT_EQ(schedule.WakeAtNs(), kNeverNs) << "nothing queued";
    PulseReport report;
    schedule.Push(report);
    EXPECT_EQ(schedule.WakeAtNs(), 0) << "the first batch goes at once";
    ASSERT_TRUE(schedule.TakeDue(2000 * kMillisecondNs));
    schedule.Push(report);
    EXPECT_EQ(schedule.WakeAtNs(), 7000 * kMillisecondNs) << "a period after the last batch";
    EXPECT_FALSE(schedule.TakeDue(6999 * kMillisecondNs));
}

}  // namespace
}  // namespace cyclara::logger
