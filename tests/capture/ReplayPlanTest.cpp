#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tools/capture/CaptureReader.h"
#include "tools/capture/ExactReplay.h"
#include "tools/capture/ReplayValues.h"

using namespace mimicbox;
using namespace mimicbox::capture;

namespace {

// A Thermo-Box, a Relay-Box the server toggles once, and a connection that sent only garbage.
const char* const kCapture = R"({"capture":"mimicbox","version":1}
{"t":0.1,"conn":3,"event":"connect"}
{"t":0.2,"conn":3,"event":"data","from":"device","bytes":"noise\u0000"}
{"t":0.5,"conn":1,"event":"connect"}
{"t":0.5,"conn":2,"event":"connect"}
{"t":1.0,"conn":1,"event":"data","from":"device","bytes":"TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1765000000, 20.500000;\u0000"}
{"t":1.0,"conn":2,"event":"data","from":"device","bytes":"TolvarkControl: 8, 1005, 4, 0, 0, 1, 10;1765000000, 1, 0;\u0000"}
{"t":1.6,"conn":2,"event":"data","from":"server","bytes":"TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;\u0000"}
{"t":2.5,"conn":1,"event":"data","from":"device","bytes":"TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1765000001, 21.000000;\u0000"}
{"t":2.6,"conn":1,"event":"half-close","from":"device"}
{"t":2.7,"conn":1,"event":"close"}
{"t":3.0,"conn":9,"event":"connect"}
)";

Capture Parsed()
{
    Capture capture;
    std::string error;
    EXPECT_TRUE(ParseCapture(kCapture, "c.jsonl", capture, error)) << error;
    return capture;
}

ReplaySettings Settings()
{
    ReplaySettings settings;
    settings.from = 0.5;
    settings.to = 2.9;
    settings.speed = 2;
    settings.copies = 2;
    settings.serials[1005] = 2005;
    return settings;
}

// The whole capture at its own speed, with the settings' copies and serials, in exact mode.
ExactReplay WholeCaptureExactly()
{
    ReplaySettings settings = Settings();
    settings.from = 0;
    settings.to.reset();
    settings.speed = 1;
    ExactReplay replay;
    std::string error;
    EXPECT_TRUE(PlanExact(Parsed(), settings, replay, error)) << error;
    return replay;
}

}  // namespace

TEST(ReplayPlanTest, DevicesAreNamedByTheirReportsOnTheReplaysClock)
{
    const RecordedDevices recorded = FindDevices(Parsed(), Settings());
    ASSERT_EQ(recorded.devices.size(), 2u);
    const RecordedDevice& thermo = recorded.devices[0];
    EXPECT_EQ(thermo.identity.nSerial, 3);
    ASSERT_EQ(thermo.values.size(), 2u);
    EXPECT_DOUBLE_EQ(thermo.values[1].seconds, 1.0);  // (2.5 - 0.5) / 2
    EXPECT_DOUBLE_EQ(thermo.values[1].value, 21.0);
    const RecordedDevice& relay = recorded.devices[1];
    EXPECT_DOUBLE_EQ(relay.values[0].value, 1.0);
    ASSERT_EQ(relay.commands.size(), 1u);
    EXPECT_DOUBLE_EQ(relay.commands[0].seconds, 0.55);  // since it connected, at twice the speed
    EXPECT_EQ(recorded.unnamed, 0u);  // the garbage came before the window
    EXPECT_DOUBLE_EQ(recorded.length, 1.1);
}

TEST(ReplayPlanTest, ValuesModePlaysEachDeviceAndItsCopiesUnderNewSerials)
{
    ValuesReplay values;
    std::string error;
    ASSERT_TRUE(PlanValues(FindDevices(Parsed(), Settings()), Settings(), values, error)) << error;
    std::vector<std::string> names;
    for (const sim::DeviceGroup& group : values.groups)
        names.push_back(sim::DeviceName({group.range.deviceType, group.range.first}));
    EXPECT_THAT(names, ::testing::ElementsAre("thermo:3", "relay:2005", "thermo:4", "relay:2006"));
    EXPECT_EQ(values.groups[0].setup.temperatureText, "20.5");
    EXPECT_EQ(values.groups[0].setup.profile.kind, sim::ProfileKind::kTable);
    // From the first report on, each value taking over half an interval early: 0.75 - 0.375.
    ASSERT_EQ(values.groups[0].setup.profile.points->size(), 2u);
    EXPECT_DOUBLE_EQ(values.groups[0].setup.profile.points->at(1).seconds, 0.375);
    EXPECT_EQ(values.groups[1].setup.switchState, 1);
    EXPECT_EQ(values.commands->at("relay:2006").size(), 1u);
}

TEST(ReplayPlanTest, SerialsThatWouldClashAreRefused)
{
    ReplaySettings settings = Settings();
    settings.serials = {{3, 1005}, {1005, 1005}};
    settings.copies = 1;
    ValuesReplay values;
    std::string error;
    // thermo:1005 and relay:1005 differ by model: no clash.
    EXPECT_TRUE(PlanValues(FindDevices(Parsed(), settings), settings, values, error)) << error;
    Capture twice = Parsed();
    twice.events.push_back(twice.events[5]);
    twice.events.back().conn = 7;
    twice.events.back().bytes = std::string("TolvarkControl: 16, 5, 4, 0, 0, 1, 10;1765000000, 20.500000;") + '\0';
    settings.serials = {{5, 3}};
    EXPECT_FALSE(PlanValues(FindDevices(twice, settings), settings, values, error));
    EXPECT_EQ(error, "two recorded devices would play as thermo:3: map their serials apart");
}

TEST(ReplayPlanTest, ExactModeScriptsEveryConnectionOfTheWindowWithItsCopies)
{
    const ExactReplay replay = WholeCaptureExactly();
    // Two named connections twice, and the unnamed ones (garbage, a bare connect) once.
    ASSERT_EQ(replay.connections.size(), 6u);
    EXPECT_EQ(replay.connections[0].device, "");
    EXPECT_DOUBLE_EQ(replay.connections[0].connectAt, 0.1);
    const auto thermo = std::find_if(replay.connections.begin(), replay.connections.end(),
                                     [](const ConnectionScript& script) { return script.device == "thermo:3"; });
    ASSERT_NE(thermo, replay.connections.end());
    EXPECT_EQ(thermo->serial, 0);
    ASSERT_EQ(thermo->steps->size(), 4u);
    EXPECT_EQ((*thermo->steps)[2].kind, StepKind::kHalfClose);
    EXPECT_EQ((*thermo->steps)[3].kind, StepKind::kClose);
    const auto copy = std::find_if(replay.connections.begin(), replay.connections.end(),
                                   [](const ConnectionScript& script) { return script.device == "relay:2006"; });
    ASSERT_NE(copy, replay.connections.end());
    EXPECT_EQ(copy->serial, 2006);
}

TEST(ReplayPlanTest, ResetsFromEitherSideArePlayedAsResetsAndClosesAsCloses)
{
    const char* const capture = R"({"capture":"mimicbox","version":1}
{"t":0,"conn":1,"event":"connect"}
{"t":0,"conn":2,"event":"connect"}
{"t":0,"conn":3,"event":"connect"}
{"t":0,"conn":4,"event":"connect"}
{"t":1,"conn":1,"event":"reset","from":"device"}
{"t":1,"conn":2,"event":"reset","from":"server"}
{"t":1,"conn":3,"event":"close"}
{"t":1,"conn":4,"event":"half-close","from":"server"}
)";
    Capture parsed;
    std::string error;
    ASSERT_TRUE(ParseCapture(capture, "c.jsonl", parsed, error)) << error;
    ExactReplay replay;
    ASSERT_TRUE(PlanExact(parsed, ReplaySettings{}, replay, error)) << error;
    std::vector<std::vector<StepKind>> kinds;
    for (const ConnectionScript& script : replay.connections) {
        kinds.emplace_back();
        for (const ScriptStep& step : *script.steps)
            kinds.back().push_back(step.kind);
    }
    // The server's half-close is its own: the device's side stays open.
    EXPECT_THAT(kinds, ::testing::ElementsAre(::testing::ElementsAre(StepKind::kReset),
                                              ::testing::ElementsAre(StepKind::kReset),
                                              ::testing::ElementsAre(StepKind::kClose), ::testing::IsEmpty()));
}

TEST(ReplayPlanTest, ThePeakCountsConnectionsOpenAtOnceWithTheirCopies)
{
    ExactReplay replay = WholeCaptureExactly();
    // By 1.0 s: the garbage's connection and two devices twice; the Thermo-Box's pair closes at 2.7
    // and the bare connect comes at 3.0, so five is the most.
    EXPECT_EQ(PeakConnections(replay), 5u);
    replay.connections.resize(1);
    EXPECT_EQ(PeakConnections(replay), 1u);
}

TEST(ReplayPlanTest, ValuesKeepTheRecordedConnectTimesAndSerialZeroNamesNoDevice)
{
    const char* const capture = R"({"capture":"mimicbox","version":1}
{"t":3.98,"conn":1,"event":"connect"}
{"t":5.48,"conn":1,"event":"data","from":"device","bytes":"TolvarkControl: 8, 1005, 4, 0, 0, 1, 10;1765000000, 1, 0;\u0000"}
{"t":6.0,"conn":2,"event":"connect"}
{"t":7.5,"conn":2,"event":"data","from":"device","bytes":"TolvarkControl: 16, 0, 4, 0, 0, 1, 10;1765000002, 20.500000;\u0000"}
)";
    Capture parsed;
    std::string error;
    ASSERT_TRUE(ParseCapture(capture, "c.jsonl", parsed, error)) << error;
    ReplaySettings settings;
    settings.speed = 2;
    const RecordedDevices recorded = FindDevices(parsed, settings);
    ASSERT_EQ(recorded.devices.size(), 1u);
    EXPECT_EQ(recorded.unnamed, 1u);  // thermo:0 is no device, as --device thermo:0 is none
    ValuesReplay values;
    ASSERT_TRUE(PlanValues(recorded, settings, values, error)) << error;
    ASSERT_EQ(values.groups.size(), 1u);
    EXPECT_DOUBLE_EQ(values.groups[0].setup.connectAfter, 1.99);  // 3.98 s at twice the speed
}
