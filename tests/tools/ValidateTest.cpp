// The scenario's rules on its plain structs, without any front end: every fault found, each at the
// path of its value; and what a valid scenario plans.
#include "tools/sim/Validate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tools/sim/ScenarioPlan.h"

using namespace mimicbox;
using namespace mimicbox::sim;

namespace {

DeviceEntry Thermo(int64_t serial)
{
    DeviceEntry device;
    device.model = "thermo";
    device.serial = serial;
    return device;
}

std::vector<std::string> Texts(const Problems& problems)
{
    std::vector<std::string> texts;
    for (const Problem& problem : problems)
        texts.push_back(ProblemText(problem));
    return texts;
}

}  // namespace

TEST(ValidateTest, EveryFaultIsFoundAtThePathOfItsValue)
{
    Scenario scenario;
    scenario.duration = 0;
    scenario.port = 70000;
    scenario.devices.push_back(Thermo(1));
    scenario.devices[0].temperature = 150.5;
    scenario.devices[0].profile.emplace();
    scenario.devices[0].profile->kind = "sine";
    scenario.devices[0].profile->period = 0;
    // A device table that holds a fault is left out of the check for devices given twice.
    scenario.devices.push_back(Thermo(2));
    scenario.devices.push_back(Thermo(2));
    DeviceEntry relay;
    relay.model = "relay";
    relay.serials = "15-18";
    scenario.devices.push_back(relay);
    FaultEntry fault;
    fault.kind = "split";
    fault.every = 3;
    fault.probability = 0.5;
    fault.devices = "thermo:9";
    scenario.faults.push_back(fault);
    EventEntry event;
    event.at = 1;
    event.action = "silence";
    event.state = "on";
    scenario.events.push_back(event);
    EXPECT_THAT(Texts(Validate(scenario)),
                ::testing::ElementsAre("duration: must lie from 0.001 to 1e+09", "server.port: must lie from 1 to 65535",
                                       "device[1].temperature: must lie from -30 to 150",
                                       "device[1].profile.period: must lie from 0.001 to 1e+09",
                                       "device[3]: device thermo:2 given twice",
                                       "device[4].serials: a Relay-Box range lies within 1-16 (the dialog's 1001-1016) or above 16",
                                       "fault[1].at: give one of at = SECONDS, every = N or probability = P",
                                       "fault[1].devices: names devices that no [[device]] table gives",
                                       "event[1].duration: missing for silence",
                                       "event[1].state: does not belong to silence"));
}

TEST(ValidateTest, BoundsHoldAtTheirEdgesAndNotBeyond)
{
    // Each row: a value at its bound is taken, the next one out is not.
    struct Row {
        const char* name;
        std::function<void(Scenario&, double)> set;
        double inside;
        double outside;
    };
    const Row rows[] = {
        {"temperature", [](Scenario& s, double v) { s.devices[0].temperature = v; }, 150, 150.001},
        {"temperature low", [](Scenario& s, double v) { s.devices[0].temperature = v; }, -30, -30.001},
        {"fault probability", [](Scenario& s, double v) { s.faults[0].probability = v; }, 1, 1.001},
        {"fault delay", [](Scenario& s, double v) { s.faults[0].delay = v; }, 60, 60.001},
        {"ramp up", [](Scenario& s, double v) { s.rampUp = v; }, 0, -0.001},
    };
    for (const Row& row : rows) {
        for (const bool inside : {true, false}) {
            Scenario scenario;
            scenario.devices.push_back(Thermo(1));
            FaultEntry fault;
            fault.kind = "split";
            fault.probability = 0.5;
            scenario.faults.push_back(fault);
            row.set(scenario, inside ? row.inside : row.outside);
            EXPECT_EQ(Validate(scenario).empty(), inside) << row.name << (inside ? " inside" : " outside");
        }
    }
}

TEST(ValidateTest, LiveTablesTakeNeitherTriggerNorDevicesNorExpectations)
{
    FaultEntry fault;
    fault.kind = "garbage";
    fault.at = 3;
    fault.devices = "thermo:1";
    EXPECT_THAT(Texts(ValidateLiveFault(fault, "fault")),
                ::testing::ElementsAre("fault.at: a fault given live applies to the next report: give no trigger",
                                       "fault.devices: the request names the device"));
    DeviceEntry device = Thermo(5);
    device.expect.emplace();
    EXPECT_THAT(Texts(ValidateLiveDevice(device, "device")),
                ::testing::ElementsAre("device.expect: expectations are given when the run starts, in its scenario"));
}

TEST(ScenarioPlanTest, AValidScenarioPlansTheFaultsDefaultsTogglesAndExpectations)
{
    Scenario scenario;
    DeviceEntry relay;
    relay.model = "relay";
    relay.serials = "1-4";
    relay.toggleEvery = 2;
    relay.expect.emplace();
    relay.expect->connection = "kept";
    scenario.devices.push_back(relay);
    scenario.expect.emplace();
    scenario.expect->noUnreadableCommands = true;
    for (const char* kind : {"oversized", "clock-2038"}) {
        FaultEntry fault;
        fault.kind = kind;
        fault.every = 2;
        scenario.faults.push_back(fault);
    }
    ASSERT_TRUE(Validate(scenario).empty());
    ScenarioPlan plan;
    EXPECT_TRUE(PlanScenario(scenario, {}, plan).empty());
    ASSERT_EQ(plan.devices.size(), 1u);
    EXPECT_EQ(plan.devices[0].range, (DeviceRange{TYPE_RELAY, 1001, 1004}));
    EXPECT_EQ(plan.faults[0].fault.bytes, 5000u);  // past a 4096-byte read buffer
    EXPECT_EQ(plan.faults[1].fault.seconds, 0.0);   // the first second past 2038
    ASSERT_EQ(plan.actions.size(), 1u);
    EXPECT_EQ(plan.actions[0].action.kind, ActionKind::kSetSwitch);
    EXPECT_EQ(plan.actions[0].every, 2.0);
    ASSERT_EQ(plan.expectations.size(), 2u);
    EXPECT_TRUE(plan.expectations[0].noUnreadableCommands);
    EXPECT_EQ(plan.expectations[1].connection, ConnectionExpectation::kKept);
}

TEST(ValidateTest, AReplayAndTheComparisonWithItAreChecked)
{
    Scenario scenario;
    ReplayEntry& replay = scenario.replay.emplace();
    replay.mode = "fast";
    replay.speed = 0;
    replay.from = 10;
    replay.to = 5;
    replay.copies = 0;
    replay.rewriteClock = true;
    replay.serials = {{"1005", 2005}, {"x7", 3}, {"9", 0}};
    EXPECT_THAT(Texts(Validate(scenario)),
                ::testing::ElementsAre("replay.mode: must be \"values\" or \"exact\"", "replay.speed: must lie from 0.001 to 1000",
                                       "replay.to: must lie after from", "replay.copies: must lie from 1 to 100000",
                                       "replay.rewrite_clock: applies to mode = \"exact\": in values mode every clock is now",
                                       "replay.serials: 'x7' is no serial number: keys are the recorded serials, 1 to 2147483647",
                                       "replay.serials.9: must lie from 1 to 2147483647"));
}
