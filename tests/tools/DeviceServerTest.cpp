// The reference server's logic on the manual clock and fake connections: records decoded and
// counted, toggles sent where they belong, devices that stop reading let go, and its timers.
#include "tools/server/DeviceServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tools/testing/FakeServerNetwork.h"
#include "tools/testing/ManualScheduler.h"

using namespace mimicbox;
using namespace std::chrono_literals;
using Kind = server::ServerEvent::Kind;
using ::testing::HasSubstr;

namespace {

const std::string kRelay1005 = "TolvarkControl: 8, 1005, 4, 0, 0, 1, 10;1765000000, 0, 0;";
const std::string kRelay1006 = "TolvarkControl: 8, 1006, 4, 0, 0, 1, 10;1765000000, 1, 0;";
const std::string kThermo3 = "TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1765000000, 21.500000;";
const std::string kToggle1005 = std::string("TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;") + '\0';

// The events with copies of the texts they point to.
struct Seen {
    Kind kind;
    std::string peer;
    DeviceIdentity device;
    std::string text;
    bool readable;
    std::size_t count;
};

class Recorder : public server::ServerSink {
public:
    void OnEvent(const server::ServerEvent& event) override
    {
        seen.push_back({event.kind, std::string(event.peer), event.device, std::string(event.text), event.check.readable,
                        event.count});
    }
    std::vector<Seen> Of(Kind kind) const
    {
        std::vector<Seen> found;
        for (const Seen& event : seen)
            if (event.kind == kind)
                found.push_back(event);
        return found;
    }
    std::vector<Seen> seen;
};

class DeviceServerTest : public ::testing::Test {
protected:
    void Start(double toggleEvery = 0, bool stats = false)
    {
        options_.port = 0;
        options_.toggleEverySeconds = toggleEvery;
        options_.stats = stats;
        server_ = std::make_unique<server::DeviceServer>(options_, scheduler_, network_, sink_, [this] { stopped_ = true; });
        std::string error;
        ASSERT_TRUE(server_->Listen(error)) << error;
    }
    std::size_t Device(const std::string& report)
    {
        const std::size_t index = network_.Connect();
        network_.SendRecord(index, report);
        return index;
    }

    server::ServerOptions options_;
    mimicbox::testing::ManualScheduler scheduler_;
    mimicbox::testing::FakeServerNetwork network_;
    Recorder sink_;
    std::unique_ptr<server::DeviceServer> server_;
    bool stopped_ = false;
};

}  // namespace

TEST_F(DeviceServerTest, RecordsAreReadAndAClosedConnectionNamesItsDevice)
{
    Start();
    ASSERT_EQ(sink_.Of(Kind::kListening).size(), 1u);
    EXPECT_EQ(sink_.Of(Kind::kListening)[0].text, "127.0.0.1:41234");
    const std::size_t relay = Device(kRelay1005);
    network_.SendRecord(relay, "garbage");
    network_.Overflow(relay, 70000);
    network_.Disconnect(relay);
    const auto records = sink_.Of(Kind::kRecord);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[0].readable);
    EXPECT_FALSE(records[1].readable);
    EXPECT_EQ(sink_.Of(Kind::kOverflow).at(0).count, 70000u);
    const auto closed = sink_.Of(Kind::kClosed);
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0].device, (DeviceIdentity{TYPE_RELAY, 1005}));
    EXPECT_EQ(closed[0].peer, "10.0.0.1:40000");
    EXPECT_EQ(closed[0].text, "closed the connection");
}

TEST_F(DeviceServerTest, AToggleGoesToItsDeviceOnlyWithItsSerial)
{
    Start();
    const std::size_t relay = Device(kRelay1005);
    const std::size_t other = Device(kRelay1006);
    const std::size_t thermo = Device(kThermo3);
    server_->OnCommand("t 1005");
    EXPECT_EQ(network_.Received(relay), kToggle1005);
    EXPECT_EQ(network_.Received(other), "");
    server_->OnCommand("t");
    EXPECT_THAT(network_.Received(other), HasSubstr("TolvarkControl: 8, 1006, 4, 0, 0, 1, 11;"));
    EXPECT_EQ(network_.Received(thermo), "");
    EXPECT_EQ(sink_.Of(Kind::kToggleSent).size(), 3u);
    server_->OnCommand("t 9");
    server_->OnCommand("t x");
    server_->OnCommand("z");
    const auto refused = sink_.Of(Kind::kRefused);
    ASSERT_EQ(refused.size(), 3u);
    EXPECT_EQ(refused[0].text, "no device 9 connected");
    EXPECT_EQ(refused[1].text, "not a serial number: 'x'");
    EXPECT_EQ(refused[2].text, "commands: t SERIAL, t, l, q");
    server_->OnCommand("l");
    EXPECT_EQ(sink_.Of(Kind::kDeviceListed).size(), 3u);
    EXPECT_EQ(sink_.Of(Kind::kListed).at(0).count, 3u);
}

TEST_F(DeviceServerTest, ADeviceThatLetsTogglesPileUpIsLetGo)
{
    Start();
    const std::size_t relay = Device(kRelay1005);
    network_.StopReading(relay);
    int sent = 0;
    while (sent < 10000 && server_->Toggle(1005) == 1)
        ++sent;
    EXPECT_EQ(static_cast<std::size_t>(sent), mimicbox::testing::FakeServerNetwork::kMaxUnread / kToggle1005.size());
    EXPECT_EQ(sink_.Of(Kind::kNotReading).size(), 1u);
    EXPECT_TRUE(network_.ClosedByServer(relay));
    EXPECT_EQ(server_->Toggle(1005), 0);
}

TEST_F(DeviceServerTest, TogglesAndStatsKeepTheirGridAndStopSaysTheTotals)
{
    Start(0.5, true);
    const std::size_t relay = Device(kRelay1005);
    // A loop held up for 1.2 s skips the deadline of 1 s, which it missed whole: toggles at 1.2 s
    // (late, for 0.5 s) and 1.5 s.
    scheduler_.Stall(1200ms);
    scheduler_.Advance(500ms);
    EXPECT_EQ(network_.Received(relay), kToggle1005 + kToggle1005);
    const auto stats = sink_.Of(Kind::kStats);
    ASSERT_EQ(stats.size(), 1u);
    EXPECT_THAT(stats[0].text, HasSubstr("devices 1, "));
    EXPECT_THAT(stats[0].text, HasSubstr("records 1,"));
    server_->OnCommand("q");
    EXPECT_TRUE(stopped_);
    EXPECT_EQ(sink_.Of(Kind::kStats).size(), 2u);
    EXPECT_EQ(sink_.seen.back().kind, Kind::kStopped);
    EXPECT_TRUE(network_.ClosedByServer(relay));
    EXPECT_FALSE(network_.Listening());
}
