// Devices added to and removed from a running plant, on simulated time and the fake network.
#include "tools/sim/Plant.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

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

class PlantTest : public PlantFixture {
protected:
    void Run(std::vector<DeviceIdentity> devices, uint64_t reportLimit = 0)
    {
        PlantConfig config;
        config.devices = std::move(devices);
        config.policy.reportLimit = reportLimit;
        config.seed = 11;
        harness_.Build(std::move(config));
        harness_.Start();
    }
    std::size_t Add(DeviceIdentity device, const std::string& temperature = "0", double toggleEvery = 0)
    {
        DeviceSetup setup;
        setup.temperatureText = temperature;
        const std::vector<std::size_t> added = plant_->Add({device}, setup, toggleEvery);
        return added.empty() ? plant_->Size() : added[0];
    }
    std::size_t Sent(std::size_t device) const { return harness_.Sent(device); }
};

}  // namespace

TEST_F(PlantTest, AnAddedDeviceConnectsAtOnceAndReportsOnItsOwnGrid)
{
    Run({{TYPE_RELAY, 1001}});
    scheduler_.Advance(700ms);
    const std::size_t thermo = Add({TYPE_THERMO, 9}, "42.5");
    EXPECT_EQ(thermo, 1u);
    EXPECT_EQ(plant_->Find({TYPE_THERMO, 9}), 1u);
    EXPECT_EQ(plant_->HeldCount(), 2u);
    scheduler_.Advance(1ms);
    EXPECT_TRUE(plant_->At(thermo).Connected());
    scheduler_.Advance(4600ms);
    const std::vector<std::string> records = SplitRecords(network_.Received(thermo));
    ASSERT_EQ(records.size(), 3u);  // 1.5, 3 and 4.5 s after its connect
    EXPECT_THAT(records[0], ::testing::StartsWith("TolvarkControl: 16, 9, 4,"));
    EXPECT_THAT(records[0], ::testing::HasSubstr(", 42.500000;"));
    const auto sent = recorded_.Of(EventKind::kSent, thermo);
    EXPECT_EQ(sent[1].event.scheduled - sent[0].event.scheduled, 1500ms);
    // The summary and every other sink learn of it before its first event.
    EXPECT_EQ(recorded_.Of(EventKind::kAdded).size(), 1u);
    ASSERT_EQ(summary_->Devices().size(), 2u);
    EXPECT_EQ(summary_->Devices()[1].identity, (DeviceIdentity{TYPE_THERMO, 9}));
    EXPECT_EQ(summary_->Devices()[1].reports, 3u);
}

TEST_F(PlantTest, ABatchConnectsOneDeviceEveryTenthOfAMillisecondOnceTheLoopIsFree)
{
    Run({});
    scheduler_.Advance(5s);
    std::vector<DeviceIdentity> batch;
    for (int32_t serial = 1; serial <= 30; ++serial)
        batch.push_back({TYPE_THERMO, serial});
    EXPECT_EQ(plant_->Add(batch, {}, 0).size(), 30u);
    Add({TYPE_RELAY, 1001});  // asked in the same turn: it queues behind the batch
    // Answering the request holds the loop up; the spacing starts after it, not in a burst.
    scheduler_.Stall(20ms);
    const Instant free = scheduler_.Now();
    scheduler_.Advance(10ms);
    const std::vector<Instant>& attempts = network_.ConnectAttempts();
    ASSERT_EQ(attempts.size(), 31u);
    for (std::size_t i = 0; i < attempts.size(); ++i)
        EXPECT_EQ(attempts[i] - free, std::chrono::microseconds(100) * static_cast<int64_t>(i)) << i;
    EXPECT_EQ(plant_->ConnectedCount(), 31u);
    // Their reports fall due over several grid milliseconds, not one.
    scheduler_.Advance(1500ms);
    std::set<Instant> deadlines;
    for (const auto& sent : recorded_.Of(EventKind::kSent))
        deadlines.insert(sent.event.scheduled);
    EXPECT_GE(deadlines.size(), 3u);
}

TEST_F(PlantTest, ARemovedDeviceClosesAndIsGoneUntilAddedAgainUnderItsNumber)
{
    Run({{TYPE_THERMO, 1}, {TYPE_RELAY, 1002}});
    scheduler_.Advance(2s);
    plant_->Remove(0);
    EXPECT_FALSE(plant_->Holds(0));
    EXPECT_EQ(plant_->Find({TYPE_THERMO, 1}), plant_->Size());
    EXPECT_EQ(network_.ClosedBy(0), "close");
    EXPECT_EQ(recorded_.Of(EventKind::kRemoved, 0).size(), 1u);
    const std::size_t before = Sent(0);
    scheduler_.Advance(5s);
    EXPECT_EQ(Sent(0), before);
    EXPECT_EQ(plant_->HeldCount(), 1u);
    EXPECT_EQ(plant_->ConnectedCount(), 1u);
    plant_->Remove(0);  // twice: nothing happens
    EXPECT_EQ(recorded_.Of(EventKind::kRemoved, 0).size(), 1u);

    EXPECT_EQ(Add({TYPE_THERMO, 1}), 0u);
    scheduler_.Advance(1ms);
    EXPECT_EQ(network_.Connects(0), 2);
    EXPECT_EQ(summary_->Devices().size(), 2u);
    EXPECT_EQ(summary_->Devices()[0].connects, 2u);
    EXPECT_FALSE(finished_);
}

TEST_F(PlantTest, AnAddedRelayFlipsItsOwnSwitchUntilItIsRemoved)
{
    Run({{TYPE_THERMO, 1}});
    scheduler_.Advance(300ms);
    const std::size_t relay = Add({TYPE_RELAY, 1005}, "0", 2.0);
    scheduler_.Advance(4s + 1ms);
    EXPECT_EQ(recorded_.Of(EventKind::kAction, relay).size(), 2u);
    EXPECT_EQ(plant_->At(relay).GetDevice().SwitchState(), 0);
    plant_->Remove(relay);
    Add({TYPE_RELAY, 1005});
    scheduler_.Advance(6s);
    // The toggle went with the device removed; the one added again has none.
    EXPECT_EQ(recorded_.Of(EventKind::kAction, relay).size(), 2u);
    // A Thermo-Box has no switch to flip.
    const std::size_t thermo = Add({TYPE_THERMO, 2}, "0", 1.0);
    scheduler_.Advance(3s);
    EXPECT_TRUE(recorded_.Of(EventKind::kAction, thermo).empty());
}

TEST_F(PlantTest, TheRunEndsWhenEveryDeviceHeldIsDoneButAnEmptyPlantWaits)
{
    Run({}, 2);
    scheduler_.Advance(10s);
    EXPECT_FALSE(finished_);
    Add({TYPE_RELAY, 1001});
    Add({TYPE_THERMO, 1});
    scheduler_.Advance(1100ms);
    EXPECT_FALSE(finished_);  // the Relay-Box is done after two reports, the Thermo-Box is not
    plant_->Remove(1);
    EXPECT_TRUE(finished_);
    // Once the run has ended, nothing comes or goes.
    EXPECT_EQ(Add({TYPE_THERMO, 5}), plant_->Size());
    plant_->Remove(0);
    EXPECT_TRUE(plant_->Holds(0));
}
