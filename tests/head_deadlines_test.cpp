// A request's head is whole within its time from the accept, however slowly its bytes come.
#include "logger/web/head_deadlines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cyclara::logger {
namespace {

constexpr int64_t kSecondNs = 1'000'000'000;

TEST(HeadDeadlinesTest, AConnectionWhoseHeadIsNotWholeInTimeIsClosedOnceAndOnlyIt) {
    enum class Step { kAccepted, kHeadWhole, kClosed, kSweep };
    const struct {
        const char* why;
        std::vector<std::tuple<Step, SocketNumber, int64_t>> script;  // step, connection, at second
        std::vector<SocketNumber> expired;                            // by the last sweep, in order
    } cases[] = {
        {"silent past its time", {{Step::kAccepted, 7, 0}, {Step::kSweep, 0, 10}}, {7}},
        {"a head whole in time is no longer watched",
         {{Step::kAccepted, 7, 0}, {Step::kHeadWhole, 7, 9}, {Step::kSweep, 0, 30}},
         {}},
        {"one second short of its time", {{Step::kAccepted, 7, 0}, {Step::kSweep, 0, 9}}, {}},
        {"a kept connection's next head has a time of its own",
         {{Step::kAccepted, 7, 0},
          {Step::kHeadWhole, 7, 1},
          {Step::kAccepted, 7, 20},
          {Step::kSweep, 0, 29}},
         {}},
        {"closed by the server before its time",
         {{Step::kAccepted, 7, 0}, {Step::kClosed, 7, 4}, {Step::kSweep, 0, 20}},
         {}},
        {"each given once",
         {{Step::kAccepted, 7, 0}, {Step::kSweep, 0, 10}, {Step::kSweep, 0, 11}},
         {}},
        {"only those past their time, of many",
         {{Step::kAccepted, 3, 0},
          {Step::kAccepted, 4, 5},
          {Step::kAccepted, 5, 1},
          {Step::kSweep, 0, 11}},
         {3, 5}},
    };
    for (const auto& c : cases) {
        HeadDeadlines heads(10 * kSecondNs);
        std::vector<SocketNumber> expired;
        for (const auto& [step, connection, second] : c.script) {
            switch (step) {
                case Step::kAccepted:
                    heads.Accepted(connection, second * kSecondNs);
                    break;
                case Step::kHeadWhole:
                    heads.HeadWhole(connection);
                    break;
                case Step::kClosed:
                    heads.Closed(connection);
                    break;
                case Step::kSweep:
                    expired = heads.TakeExpired(second * kSecondNs);
                    break;
            }
        }
        EXPECT_EQ(expired, c.expired) << c.why;
    }
}

TEST(HeadDeadlinesTest, TheSweeperSleepsUntilTheEarliestDeadline) {
    constexpr int64_t kNoneNs = 1000 * kSecondNs;
    HeadDeadlines heads(10 * kSecondNs);
    EXPECT_EQ(heads.NextDeadlineNs(kNoneNs), kNoneNs) << "none watched";
    heads.Accepted(3, 4 * kSecondNs);
    heads.Accepted(4, 2 * kSecondNs);
    EXPECT_EQ(heads.NextDeadlineNs(kNoneNs), 12 * kSecondNs);
    heads.HeadWhole(4);
    EXPECT_EQ(heads.NextDeadlineNs(kNoneNs), 14 * kSecondNs);
}

}  // namespace
}  // namespace cyclara::logger
