// Sessions and the plant on simulated time: fixed deadlines, lateness, reconnects with backoff and
// lost connections, run through the fake network in milliseconds of real time.
#include "tools/sim/Plant.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "tests/SplitRecords.h"
#include "tests/tools/PlantFixture.h"
#include "tools/sim/FanOut.h"
#include "tools/sim/Summary.h"
#include "tools/testing/FakeNetwork.h"
#include "tools/testing/ManualScheduler.h"
#include "tools/testing/RecordingSink.h"

using namespace mimicbox;
using namespace mimicbox::sim;
using namespace std::chrono_literals;
using mimicbox::testing::FakeNetwork;
using mimicbox::testing::ManualScheduler;
using mimicbox::testing::RecordingSink;

namespace {

const std::string kToggle = std::string("TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;") + '\0';

class SessionTest : public PlantFixture {
protected:
    void Run(PlantConfig config)
    {
        harness_.Build(std::move(config));
        harness_.Start();
    }
    static PlantConfig Devices(std::vector<DeviceIdentity> devices)
    {
        PlantConfig config;
        config.devices = std::move(devices);
        config.seed = 7;
        return config;
    }
};

}  // namespace

TEST_F(SessionTest, ReportsLeaveAtFixedDeadlinesFromTheConnect)
{
    Run(Devices({{TYPE_RELAY, 1005}, {TYPE_THERMO, 3}}));
    scheduler_.Advance(3s + 1ms);
    const auto relay = recorded_.Of(EventKind::kSent, 0);
    const auto thermo = recorded_.Of(EventKind::kSent, 1);
    ASSERT_EQ(relay.size(), 6u);
    ASSERT_EQ(thermo.size(), 2u);
    // Connected 0.2 ms past a whole millisecond: the deadlines count from the next whole one.
    const Instant connected = recorded_.Of(EventKind::kConnected, 0).at(0).event.time;
    ASSERT_EQ(connected.time_since_epoch() % 1ms, FakeNetwork::kConnectDelay);
    const Instant anchor = connected + 1ms - FakeNetwork::kConnectDelay;
    for (std::size_t i = 0; i < relay.size(); ++i) {
        EXPECT_EQ(relay[i].event.scheduled, anchor + 500ms * static_cast<int>(i + 1));
        EXPECT_EQ(relay[i].event.lateness, 0ns);
    }
    EXPECT_EQ(relay[0].record, "TolvarkControl: 8, 1005, 4, 0, 0, 1, 10;1765000000, 0, 0;");
    // What the server received is exactly the reports, each with its NUL.
    const std::vector<std::string> received = SplitRecords(network_.Received(1));
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1], thermo[1].record);
    EXPECT_EQ(network_.Received(1).size(), thermo[0].record.size() + thermo[1].record.size() + 2);
}

TEST_F(SessionTest, ThirtyTwoDevicesForAMinuteWithTheServerGoingAway)
{
    PlantConfig config = Devices({});
    for (int32_t base = 1; base <= SERIAL_COUNT; ++base) {
        config.devices.push_back({TYPE_THERMO, base});
        config.devices.push_back({TYPE_RELAY, base + RELAY_SERIAL_OFFSET});
    }
    config.policy.reconnect = 1s;
    Run(config);
    scheduler_.Advance(20s);
    network_.SetServerUp(false);
    scheduler_.Advance(10s);
    EXPECT_EQ(plant_->ConnectedCount(), 0u);
    network_.SetServerUp(true);
    const Instant up = scheduler_.Now();
    // No wait is longer than the backoff's cap of 30 s, and a report follows within its period.
    scheduler_.Advance(32s);
    EXPECT_EQ(plant_->ConnectedCount(), 32u);
    for (std::size_t i = 0; i < 32; ++i) {
        EXPECT_EQ(network_.Connects(i), 2) << i;
        EXPECT_GT(recorded_.Of(EventKind::kSent, i).back().event.time, up) << i;
        EXPECT_EQ(summary_->Devices()[i].missed, 0u);
    }
    EXPECT_FALSE(finished_);
    EXPECT_EQ(recorded_.Of(EventKind::kLost).size(), 32u);
    EXPECT_EQ(recorded_.Of(EventKind::kGaveUp).size(), 0u);
}

TEST_F(SessionTest, ServerTogglesFlipTheRelayBoxWhateverTheSplit)
{
    Run(Devices({{TYPE_RELAY, 1005}}));
    scheduler_.Advance(1ms);
    // Sent whole, the toggles arrive in reads split at random points; only whole ones act.
    network_.ServerWrite(0, kToggle + kToggle + kToggle);
    scheduler_.Advance(600ms);
    const auto received = recorded_.Of(EventKind::kReceived, 0);
    ASSERT_FALSE(received.empty());
    const auto toggles = std::count_if(received.begin(), received.end(), [](const auto& r) { return r.event.toggled; });
    EXPECT_EQ(summary_->Devices()[0].toggles, static_cast<uint64_t>(toggles));
    const auto sent = recorded_.Of(EventKind::kSent, 0);
    EXPECT_THAT(sent.back().record, ::testing::EndsWith(toggles % 2 ? ", 1, 0;" : ", 0, 0;"));
}

TEST_F(SessionTest, WithoutReconnectALostDeviceGivesUpAndTheRunEndsWhenAllHave)
{
    Run(Devices({{TYPE_THERMO, 1}, {TYPE_RELAY, 1001}}));
    scheduler_.Advance(2s);
    network_.ServerClose(0);
    scheduler_.Advance(1ms);
    EXPECT_FALSE(finished_);
    network_.ServerClose(1, true);
    scheduler_.Advance(1ms);
    EXPECT_TRUE(finished_);
    const auto lost = recorded_.Of(EventKind::kLost);
    ASSERT_EQ(lost.size(), 2u);
    EXPECT_EQ(lost[0].reason, "connection closed by the server");
    EXPECT_EQ(lost[1].reason, "connection lost: Connection reset by peer");
    EXPECT_TRUE(summary_->AnyGaveUp());
}

TEST_F(SessionTest, RefusedConnectsRetryWithGrowingJitteredDelays)
{
    network_.SetServerUp(false);
    PlantConfig config = Devices({{TYPE_RELAY, 1001}});
    config.policy.reconnect = 1s;
    Run(config);
    scheduler_.Advance(10min);
    const auto& attempts = network_.ConnectAttempts();
    ASSERT_GE(attempts.size(), 10u);
    // Full jitter: every wait lies within its doubling window, capped at 30 s.
    for (std::size_t i = 1; i < attempts.size(); ++i) {
        const Nanos wait = attempts[i] - attempts[i - 1] - FakeNetwork::kConnectDelay;
        const Nanos window = std::min<Nanos>(1s * (1LL << std::min<std::size_t>(i - 1, 10)), 30s);
        EXPECT_LE(wait, window) << i;
    }
    EXPECT_FALSE(finished_);
}

TEST_F(SessionTest, AReportLimitEndsTheRunOnceEveryDeviceIsDone)
{
    PlantConfig config = Devices({{TYPE_RELAY, 1001}, {TYPE_THERMO, 2}});
    config.policy.reportLimit = 3;
    Run(config);
    scheduler_.Advance(2s);
    EXPECT_FALSE(finished_);
    scheduler_.Advance(3s);
    EXPECT_TRUE(finished_);
    EXPECT_EQ(summary_->Devices()[0].reports, 3u);
    EXPECT_EQ(summary_->Devices()[1].reports, 3u);
    plant_->Stop();
    EXPECT_EQ(network_.ClosedBy(0), "close");
    EXPECT_EQ(recorded_.Of(EventKind::kStopped).size(), 2u);
}

TEST_F(SessionTest, DurationEndsTheRunAndRampUpSpreadsTheConnects)
{
    PlantConfig config = Devices({{TYPE_RELAY, 1001}, {TYPE_RELAY, 1002}, {TYPE_RELAY, 1003}, {TYPE_RELAY, 1004}});
    config.rampUp = 4s;
    config.duration = 10s;
    Run(config);
    scheduler_.Advance(9s);
    const auto& attempts = network_.ConnectAttempts();
    ASSERT_EQ(attempts.size(), 4u);
    for (std::size_t i = 1; i < attempts.size(); ++i)
        EXPECT_EQ(attempts[i] - attempts[i - 1], 1s);
    EXPECT_FALSE(finished_);
    scheduler_.Advance(1s);
    EXPECT_TRUE(finished_);
}

TEST_F(SessionTest, ALateLoopCountsMissedTicksAndSkipsPassedDeadlines)
{
    Run(Devices({{TYPE_RELAY, 1001}}));
    scheduler_.Advance(1ms);
    const Instant connected = scheduler_.Now();
    // The loop is held up for 2.3 s: the report due at 0.5 s goes out 1.8 s late, the deadlines at
    // 1.0, 1.5 and 2.0 s are skipped, and the one at 2.5 s is on time again.
    scheduler_.Stall(2300ms);
    scheduler_.Advance(200ms);
    const auto sent = recorded_.Of(EventKind::kSent, 0);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].event.lateness, 1800ms);
    EXPECT_TRUE(sent[0].event.missed);
    EXPECT_EQ(sent[0].event.skipped, 3);
    EXPECT_EQ(sent[1].event.scheduled, connected + 2500ms);
    EXPECT_EQ(sent[1].event.lateness, 0ns);
    EXPECT_EQ(summary_->Devices()[0].missed, 4u);
    EXPECT_EQ(summary_->Devices()[0].lateness.Max(), 1800ms);
}

TEST_F(SessionTest, AServerThatStopsReadingLosesTheConnection)
{
    Run(Devices({{TYPE_RELAY, 1001}}));
    scheduler_.Advance(1ms);
    network_.SetServerReading(0, false);
    // 58 bytes a report: the unread bytes pass the limit after about 280 reports.
    scheduler_.Advance(200s);
    const auto lost = recorded_.Of(EventKind::kLost, 0);
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0].reason, "connection lost: the server does not read");
}

namespace {

// Relay-Box 1003 with a split every third report (second half 0.3 s later) and a one-shot double NUL
// due at 1.2 s, which the split takes from it at 1.5 s.
PlantConfig SplitEveryThird()
{
    PlantConfig config;
    config.devices = {{TYPE_RELAY, 1003}};
    config.seed = 3;
    FaultRule split;
    split.fault.kind = FaultKind::kSplit;
    split.fault.trigger.every = 3;
    split.fault.delay = 0.3;
    FaultRule doubleNul;
    doubleNul.fault.kind = FaultKind::kDoubleNul;
    doubleNul.fault.trigger.at = 1.2;
    config.faults = {split, doubleNul};
    return config;
}

// The server got nine whole reports, the fourth followed by the double NUL's empty record.
void ExpectNineWholeReports(const std::string& received)
{
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back(), '\0');
    const std::vector<std::string> records = SplitRecords(received);
    ASSERT_EQ(records.size(), 10u);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i == 4) {
            EXPECT_EQ(records[i], "");
            continue;
        }
        EXPECT_EQ(records[i].rfind("TolvarkControl: 8, 1003, 4, 0, 0, 1, 10;", 0), 0u) << i;
        EXPECT_EQ(records[i].back(), ';') << i;
    }
}

}  // namespace

TEST_F(SessionTest, AOneShotFaultThatLosesToASplitFiresOnTheNextFreeReport)
{
    PlantConfig config = SplitEveryThird();
    config.policy.reportLimit = 9;
    Run(config);
    scheduler_.Advance(6s);
    const auto sent = recorded_.Of(EventKind::kSent, 0);
    ASSERT_EQ(sent.size(), 9u);
    EXPECT_STREQ(sent[2].event.fault, "split");
    EXPECT_STREQ(sent[3].event.fault, "double-nul");
    EXPECT_EQ(sent[3].event.faultTable, 2u);
    const std::vector<FaultTally> tallies = summary_->FaultTables();
    ASSERT_EQ(tallies.size(), 2u);
    EXPECT_EQ(tallies[0].fired, 3u);
    EXPECT_EQ(tallies[1].fired, 1u);
    ExpectNineWholeReports(network_.Received(0));
}

TEST_F(SessionTest, EveryWayARunEndsLetsTheLastSplitRecordArriveWhole)
{
    // The ninth report, at 4.501 s, is split; its second half is due at 4.801 s.
    enum class End { kReportLimit, kDuration, kStop };
    for (End end : {End::kReportLimit, End::kDuration, End::kStop}) {
        ManualScheduler scheduler;
        FakeNetwork network(scheduler);
        PlantConfig config = SplitEveryThird();
        config.policy.reportLimit = end == End::kReportLimit ? 9 : 0;
        config.duration = end == End::kDuration ? 4600ms : 0ms;
        bool finished = false;
        Plant plant(config, scheduler, network, recorded_);
        plant.Start([&] { finished = true; });
        scheduler.Advance(4600ms);
        if (end == End::kReportLimit) {
            // The run ends once the record is whole, at its own time.
            EXPECT_FALSE(finished);
            scheduler.Advance(200ms);
            EXPECT_FALSE(finished);
            scheduler.Advance(1ms);
            EXPECT_TRUE(finished);
        }
        EXPECT_EQ(finished, end != End::kStop);
        // Stopped early, the second half goes out at once, then the close.
        plant.Stop();
        EXPECT_EQ(network.ClosedBy(0), "close");
        ExpectNineWholeReports(network.Received(0));
    }
}

TEST_F(SessionTest, ADisconnectLetsAStartedRecordEndButAResetCutsIt)
{
    for (const ActionKind kind : {ActionKind::kDisconnect, ActionKind::kReset}) {
        ManualScheduler scheduler;
        FakeNetwork network(scheduler);
        PlantConfig config = SplitEveryThird();
        Plant plant(config, scheduler, network, recorded_);
        plant.Start({});
        scheduler.Advance(1600ms);
        Action action;
        action.kind = kind;
        EXPECT_EQ(plant.Apply({}, action), 1u);
        const std::string& received = network.Received(0);
        EXPECT_EQ(SplitRecords(received).size(), kind == ActionKind::kDisconnect ? 3u : 2u);
        EXPECT_EQ(received.back() == '\0', kind == ActionKind::kDisconnect);
    }
}

namespace {

// The records each device sent in 30 simulated seconds of a plant with random profiles. The network
// splits differently each run: the records must not depend on it.
std::vector<std::string> RecordsOfARun(uint64_t seed, uint64_t networkSeed)
{
    PlantConfig config;
    config.seed = seed;
    config.policy.reconnect = 1s;
    Profile walk;
    walk.kind = ProfileKind::kRandomWalk;
    walk.sigma = 0.5;
    Profile sine;
    sine.kind = ProfileKind::kSine;
    sine.amplitude = 7;
    sine.period = 7;
    for (int32_t serial = 1; serial <= 6; ++serial) {
        config.devices.push_back({TYPE_THERMO, serial});
        config.setups.push_back({"20", serial % 2 ? walk : sine, std::nullopt});
    }
    ManualScheduler scheduler;
    FakeNetwork network(scheduler, networkSeed);
    RecordingSink recorded;
    Plant plant(config, scheduler, network, recorded);
    plant.Start({});
    scheduler.Advance(30s);
    std::vector<std::string> records;
    // Each record without its clock field, which follows the header's ';'.
    for (const auto& sent : recorded.Of(EventKind::kSent)) {
        const std::string& record = sent.record;
        const std::size_t clock = record.find(';') + 1;
        records.push_back(std::to_string(sent.event.device) + " " + record.substr(0, clock) +
                          record.substr(record.find(',', clock)));
    }
    std::sort(records.begin(), records.end());
    return records;
}

}  // namespace

TEST(PlantSeedTest, TheSameSeedGivesTheSameRecordsRunAfterRun)
{
    const std::vector<std::string> first = RecordsOfARun(42, 1);
    EXPECT_GE(first.size(), 6u * 19u);
    EXPECT_EQ(RecordsOfARun(42, 2), first);
    EXPECT_NE(RecordsOfARun(43, 1), first);
}
