// The event feed between the loop and the HTTP threads: numbering, the window it keeps, and lines
// made from copies, after the texts the loop's events pointed to are gone.
#include "tools/control/EventFeed.h"
#include "tools/control/EventStream.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace mimicbox;
using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;

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
    const auto lines = feed.Take(0, 100);  // 0 and 1 are gone: the oldest kept come
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].first, 2u);
    EXPECT_THAT(lines[0].second, HasSubstr(R"("device":"thermo:3")"));
    EXPECT_THAT(lines[0].second, HasSubstr(R"("record":"report 3")"));
    EXPECT_THAT(lines[0].second, HasSubstr(R"("t":1.5)"));
    EXPECT_EQ(feed.Take(4, 100).size(), 1u);
    EXPECT_EQ(feed.Take(2, 2).size(), 2u);
    EXPECT_TRUE(feed.Take(5, 100).empty());
}

TEST(EventFeedTest, AFilterSkipsEventsButTheNextNumberMovesPastThem)
{
    control::EventFeed feed(100, sim::Instant{});
    for (int32_t serial = 1; serial <= 4; ++serial)
        Send(feed, serial, "report");
    sim::Event connected{};
    connected.kind = sim::EventKind::kConnected;
    connected.identity = {TYPE_THERMO, 2};
    feed.OnEvent(connected);
    const DeviceIdentity two{TYPE_THERMO, 2};
    uint64_t next = 0;

    const auto noReports = feed.Take(0, 10, {false, nullptr}, next);
    ASSERT_EQ(noReports.size(), 1u);
    EXPECT_EQ(noReports[0].first, 4u);
    EXPECT_EQ(next, 5u);
    const auto ofTwo = feed.Take(0, 10, {true, &two}, next);
    ASSERT_EQ(ofTwo.size(), 2u);
    EXPECT_EQ(ofTwo[0].first, 1u);
    EXPECT_EQ(ofTwo[1].first, 4u);
    // Nothing admitted in the events looked at: the caller still goes on from past them.
    const DeviceIdentity nine{TYPE_THERMO, 9};
    const auto none = feed.Take(0, 1, {true, &nine}, next);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(next, 5u);
}

TEST(EventFeedTest, AWaiterWakesOnceForTheNextEventAndForTheClose)
{
    control::EventFeed feed(10, sim::Instant{});
    int wakes = 0;
    EXPECT_TRUE(feed.WaitFor(0, [&] { ++wakes; }));
    Send(feed, 1, "first");
    Send(feed, 1, "second");
    EXPECT_EQ(wakes, 1);
    // An event is there already: nothing to wait for.
    EXPECT_FALSE(feed.WaitFor(1, [&] { ++wakes; }));
    EXPECT_TRUE(feed.WaitFor(2, [&] { ++wakes; }));
    feed.Close();
    EXPECT_EQ(wakes, 2);
    EXPECT_FALSE(feed.WaitFor(2, [&] { ++wakes; }));
    EXPECT_TRUE(feed.Closed());
}

TEST(EventStreamTest, DeliversEveryEventUpToTheCloseThenEnds)
{
    control::EventFeed feed(10, sim::Instant{});
    control::EventStream stream(feed, 0);
    std::string text;
    bool ended = false;
    int empty = 0;
    const auto collect = [&](std::string piece, bool last) {
        text += piece;
        ended = ended || last;
        empty += piece.empty() && !last;
    };
    stream.Next(collect);  // nothing yet: it waits
    EXPECT_TRUE(text.empty());
    Send(feed, 1, "first");
    EXPECT_EQ(empty, 1);  // woken, to be asked again
    stream.Next(collect);
    EXPECT_THAT(text, HasSubstr("id: 0\ndata: {"));
    // The last events come in before the close and still reach the client, then the end.
    Send(feed, 2, "second");
    feed.Close();
    stream.Next(collect);
    EXPECT_THAT(text, HasSubstr("id: 1\ndata: {"));
    EXPECT_FALSE(ended);
    stream.Next(collect);
    EXPECT_TRUE(ended);
}

TEST(EventStreamTest, AStreamWithoutReportsIsNeitherWokenNorFedByThem)
{
    control::EventFeed feed(100, sim::Instant{});
    control::EventStream stream(feed, 0, false);
    std::string text;
    int pieces = 0;
    const auto collect = [&](std::string piece, bool) {
        text += piece;
        ++pieces;
    };
    stream.Next(collect);  // nothing yet: it waits
    for (int i = 0; i < 50; ++i)
        Send(feed, 1, "report");
    EXPECT_EQ(pieces, 0) << "a report woke a stream that wants none";
    sim::Event connected{};
    connected.kind = sim::EventKind::kConnected;
    connected.identity = {TYPE_RELAY, 1005};
    feed.OnEvent(connected);
    ASSERT_EQ(pieces, 1);
    stream.Next(collect);
    EXPECT_THAT(text, HasSubstr("id: 50\ndata: {"));
    EXPECT_THAT(text, Not(HasSubstr("report")));
}
