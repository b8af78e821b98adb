#include "tools/server/ServerStats.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/DeviceModel.h"

using namespace mimicbox;
using testing::HasSubstr;

namespace {

sim::Instant At(int64_t ms) { return sim::Instant(std::chrono::milliseconds(ms)); }

}  // namespace

TEST(ServerStatsTest, ConnectBurstIsTheMostConnectsInOneTenthOfASecond)
{
    server::ServerStats stats;
    for (int64_t ms : {1000, 1010, 1099, 1100, 1150, 1199, 1201, 1250})
        stats.OnConnect(At(ms));
    EXPECT_THAT(stats.Line(0, std::chrono::seconds(1)), HasSubstr("connects per 100 ms 3,"));
    // Each line starts a new window.
    stats.OnConnect(At(5000));
    EXPECT_THAT(stats.Line(0, std::chrono::seconds(1)), HasSubstr("connects per 100 ms 1,"));
    EXPECT_THAT(stats.Line(0, std::chrono::seconds(1)), HasSubstr("connects per 100 ms 0,"));
}

TEST(ServerStatsTest, PeriodDeviationAndRateCoverTheWindowOnly)
{
    server::ServerStats stats;
    int session = 0;
    stats.OnReport(&session, TYPE_RELAY, At(0));
    stats.OnReport(&session, TYPE_RELAY, At(503));
    for (int i = 0; i < 4; ++i)
        stats.OnRecord();
    const std::string first = stats.Line(1, std::chrono::seconds(2));
    EXPECT_THAT(first, HasSubstr("records/s 2.0,"));
    EXPECT_THAT(first, HasSubstr("deviation p99 3.00 ms"));
    const std::string second = stats.Line(1, std::chrono::seconds(2));
    EXPECT_THAT(second, HasSubstr("records/s 0.0,"));
    EXPECT_THAT(second, HasSubstr("records 4,"));  // the run's total
    EXPECT_THAT(second, HasSubstr("deviation p99 0.00 ms"));
}
