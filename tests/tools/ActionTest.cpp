// Timed actions on running devices: a plant on simulated time and the fake network, with the
// scenario's timeline and the same Apply path the live control takes.
#include "tools/sim/Plant.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/tools/PlantFixture.h"
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

class ActionTest : public PlantFixture {
protected:
    void Run(std::vector<TimedAction> actions = {})
    {
        PlantConfig config;
        config.devices = {{TYPE_RELAY, 1005}, {TYPE_THERMO, 3}};
        config.actions = std::move(actions);
        config.seed = 3;
        harness_.Build(std::move(config));
        harness_.Start();
    }
    static Action Make(ActionKind kind, double seconds = 0)
    {
        Action action;
        action.kind = kind;
        action.seconds = seconds;
        return action;
    }
    std::size_t Sent(std::size_t device) const { return harness_.Sent(device); }
};

}  // namespace

TEST_F(ActionTest, DisconnectKeepsADeviceAwayUntilItReconnects)
{
    Run();
    scheduler_.Advance(1s + 1ms);
    EXPECT_EQ(plant_->Apply({{TYPE_RELAY, 1005, 1005}}, Make(ActionKind::kReset)), 1u);
    EXPECT_EQ(network_.ClosedBy(0), "reset");
    EXPECT_TRUE(network_.IsConnected(1));
    const std::size_t before = Sent(0);
    scheduler_.Advance(5s);
    EXPECT_EQ(Sent(0), before);
    EXPECT_EQ(recorded_.Of(EventKind::kClosed, 0).at(0).reason, "reset");

    plant_->Apply({}, Make(ActionKind::kReconnect));
    scheduler_.Advance(1s);
    EXPECT_EQ(network_.Connects(0), 2);
    EXPECT_EQ(network_.Connects(1), 2);  // a connected device closes (FIN) and comes back at once
    EXPECT_EQ(network_.ClosedBy(1), "");
    EXPECT_GT(Sent(0), before);
}

TEST_F(ActionTest, SilenceSkipsReportsButKeepsTheConnectionAndTheDeadlines)
{
    Run();
    scheduler_.Advance(1s + 1ms);
    plant_->Apply({}, Make(ActionKind::kSilence, 2.0));
    scheduler_.Advance(1999ms);
    const auto during = recorded_.Of(EventKind::kSent, 0);
    EXPECT_EQ(during.size(), 2u);
    EXPECT_TRUE(network_.IsConnected(0));
    scheduler_.Advance(1s);
    const auto after = recorded_.Of(EventKind::kSent, 0);
    ASSERT_EQ(after.size(), 4u);
    // Silent from 1.001 s to 3.001 s: the deadlines between are skipped, the grid stays.
    EXPECT_EQ(after[2].event.scheduled - during[1].event.scheduled, 2s);
}

TEST_F(ActionTest, PeriodChangesFromTheNextDeadlineOn)
{
    Run();
    scheduler_.Advance(1s + 1ms);
    plant_->Apply({{TYPE_RELAY, 1005, 1005}}, Make(ActionKind::kSetPeriod, 2.0));
    scheduler_.Advance(10s);
    const auto sent = recorded_.Of(EventKind::kSent, 0);
    ASSERT_GE(sent.size(), 5u);
    EXPECT_EQ(sent[2].event.scheduled - sent[1].event.scheduled, 500ms);
    EXPECT_EQ(sent[3].event.scheduled - sent[2].event.scheduled, 2s);
    EXPECT_EQ(sent[4].event.scheduled - sent[3].event.scheduled, 2s);
}

TEST_F(ActionTest, IgnoringCommandsReadsThemWithoutFlippingAndSetSwitchFlips)
{
    Run();
    scheduler_.Advance(1ms);
    plant_->Apply({}, Make(ActionKind::kIgnoreCommands));
    network_.ServerWrite(0, kToggle);
    scheduler_.Advance(600ms);
    EXPECT_EQ(plant_->At(0).GetDevice().SwitchState(), 0);
    for (const auto& received : recorded_.Of(EventKind::kReceived, 0))
        EXPECT_FALSE(received.event.toggled);

    Action on = Make(ActionKind::kSetSwitch);
    on.change = SwitchChange::kOn;
    // Only the Relay-Box takes it.
    EXPECT_EQ(plant_->Apply({}, on), 1u);
    EXPECT_EQ(plant_->At(0).GetDevice().SwitchState(), 1);
    plant_->Apply({}, Make(ActionKind::kObeyCommands));
    const std::size_t seen = recorded_.Of(EventKind::kReceived, 0).size();
    network_.ServerWrite(0, kToggle + kToggle + kToggle);
    scheduler_.Advance(600ms);
    // The reads split at random points; every whole toggle read now flips the switch.
    const auto received = recorded_.Of(EventKind::kReceived, 0);
    const auto toggles = std::count_if(received.begin() + static_cast<std::ptrdiff_t>(seen), received.end(),
                                       [](const auto& r) { return r.event.toggled; });
    EXPECT_EQ(plant_->At(0).GetDevice().SwitchState(), toggles % 2 ? 0 : 1);
}

TEST_F(ActionTest, TimedActionsFireOnTheirScheduleAndRepeat)
{
    TimedAction toggle;
    toggle.action = Make(ActionKind::kSetSwitch);
    toggle.at = 1.0;
    toggle.every = 2.0;
    TimedAction warm;
    warm.action = Make(ActionKind::kSetTemperature);
    warm.action.temperature = "42.5";
    warm.at = 3.0;
    Run({toggle, warm});
    scheduler_.Advance(8s);
    const auto applied = recorded_.Of(EventKind::kAction, 0);
    ASSERT_EQ(applied.size(), 4u);  // at 1, 3, 5 and 7 s
    EXPECT_EQ(applied[1].event.time - applied[0].event.time, 2s);
    EXPECT_EQ(plant_->At(0).GetDevice().SwitchState(), 0);
    EXPECT_THAT(recorded_.Of(EventKind::kSent, 1).back().record, ::testing::EndsWith(", 42.500000;"));
    EXPECT_EQ(std::string(recorded_.Of(EventKind::kAction, 1).at(0).event.action), "set-temperature");
}
