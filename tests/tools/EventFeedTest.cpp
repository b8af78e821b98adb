// The event feed between the loop and the HTTP threads: numbering, the window it keeps, and lines
// made from copies, after the texts the loop's events pointed to are gone.
#include "tools/control/EventFeed.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

using namespace mimicbox;
using namespace std::chrono_literals;
using ::testing::HasSubstr;

namespace {

void Send(control::EventFeed& feed, int32_t serial, std::string record)
{
    sim::Event event{};
    event.kind = sim::EventKind::kSent;
    event.identity = {TYPE_THERMO, serial};
    event.time = sim::Instant{} + 1500ms;
    event.record = record;
    feed.OnEvent(event);
    record.assign(record.size(), 'x');  // the loop's buffer is reused at once
}

}  // namespace

TEST(EventFeedTest, KeepsTheNewestEventsAsLinesOfTheirOwn)
{
    control::EventFeed feed(3, sim::Instant{});
    for (int32_t serial = 1; serial <= 5; ++serial)
        Send(feed, serial, "report " + std::to_string(serial));
    EXPECT_EQ(feed.Next(), 5u);
    const auto lines = feed.From(0, 0ms);  // 0 and 1 are gone: the oldest kept come
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].first, 2u);
    EXPECT_THAT(lines[0].second, HasSubstr(R"("device":"thermo:3")"));
    EXPECT_THAT(lines[0].second, HasSubstr(R"("record":"report 3")"));
    EXPECT_THAT(lines[0].second, HasSubstr(R"("t":1.5)"));
    EXPECT_EQ(feed.From(4, 0ms).size(), 1u);
    EXPECT_TRUE(feed.From(5, 0ms).empty());
}

TEST(EventFeedTest, AWaitingReaderWakesForANewEventAndForTheClose)
{
    control::EventFeed feed(10, sim::Instant{});
    std::thread loop([&] {
        std::this_thread::sleep_for(20ms);
        Send(feed, 1, "first");
    });
    const auto lines = feed.From(0, 10s);
    loop.join();
    ASSERT_EQ(lines.size(), 1u);
    std::thread closer([&] {
        std::this_thread::sleep_for(20ms);
        feed.Close();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(feed.From(1, 10s).empty());
    closer.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_TRUE(feed.Closed());
}
