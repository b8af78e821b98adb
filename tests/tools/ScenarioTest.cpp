#include "tools/scenario/Scenario.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tools/sim/CsvTable.h"
#include "tools/scenario/TomlShield.h"

using namespace mimicbox;
using namespace mimicbox::scenario;
using testing::HasSubstr;
using Scenario = sim::ScenarioPlan;
using sim::ParseCsvTable;

namespace {

// Devices that the fault and event tables below may name.
const std::string kFourThermosAndARelay =
    "[[device]]\nmodel = \"thermo\"\nserials = \"1-4\"\n[[device]]\nmodel = \"relay\"\nserial = 1\n";

// A folder of its own for the CSV files a scenario names.
class ScenarioTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory_ = std::filesystem::temp_directory_path() /
                     ("mimicbox-scenario-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory_);
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }

    void Write(const std::string& name, const std::string& text)
    {
        std::ofstream(directory_ / name, std::ios::binary) << text;
    }
    bool Parse(const std::string& text, Scenario& scenario, std::string& error)
    {
        return ParseScenario(text, "plant.toml", directory_.string(), scenario, error);
    }
    std::string ErrorOf(const std::string& text)
    {
        Scenario scenario;
        std::string error;
        EXPECT_FALSE(Parse(text, scenario, error)) << text;
        return error;
    }

    std::filesystem::path directory_;
};

}  // namespace

TEST_F(ScenarioTest, EveryKeyOfAPlantIsRead)
{
    Write("oven.csv", "seconds,value\n0,20\n10,80\n");
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(Parse(R"(
seed = 42
duration = 120
reports = 7
ramp_up = 2.5
[server]
host = "testhost"
port = 6000

[[device]]
model = "thermo"
serials = "1-4"
temperature = 21.5
profile = { kind = "sine", mean = 20.0, amplitude = 5, period = 60.0, phase = 1.5 }

[[device]]
model = "relay"
serial = 5

[[device]]
model = "thermo"
serial = 9
profile = { kind = "csv", file = "oven.csv", interpolation = "linear", loop = true }

[[device]]
model = "thermo"
serial = 10
profile = { kind = "steps", mode = "down-fast" }
)",
                      scenario, error))
        << error;
    EXPECT_EQ(scenario.seed, 42u);
    EXPECT_EQ(scenario.duration, 120.0);
    EXPECT_EQ(scenario.reports, 7u);
    EXPECT_EQ(scenario.rampUp, 2.5);
    EXPECT_EQ(scenario.host, "testhost");
    EXPECT_EQ(scenario.port, 6000u);
    ASSERT_EQ(scenario.devices.size(), 4u);
    EXPECT_EQ(scenario.devices[0].range, (sim::DeviceRange{TYPE_THERMO, 1, 4}));
    EXPECT_EQ(scenario.devices[0].setup.temperatureText, "21.5");
    const sim::Profile& sine = scenario.devices[0].setup.profile;
    EXPECT_EQ(sine.kind, sim::ProfileKind::kSine);
    EXPECT_EQ(sine.amplitude, 5.0);
    EXPECT_EQ(sine.phase, 1.5);
    // The dialog's numbering: Relay-Box 5 is 1005.
    EXPECT_EQ(scenario.devices[1].range, (sim::DeviceRange{TYPE_RELAY, 1005, 1005}));
    const sim::Profile& table = scenario.devices[2].setup.profile;
    ASSERT_TRUE(table.points);
    EXPECT_EQ(table.points->size(), 2u);
    EXPECT_TRUE(table.linear);
    EXPECT_TRUE(table.loop);
    EXPECT_EQ(scenario.devices[3].setup.profile.stepMode, STEP_DOWN_FAST);
}

TEST_F(ScenarioTest, FaultsNameTheFileLineColumnAndKey)
{
    struct Row {
        const char* text;
        const char* expected;
    };
    const Row rows[] = {
        {"seed = \n", "plant.toml:1:8: not TOML"},
        {"speed = 3\n", "plant.toml:1:1: speed: unknown key"},
        {"seed = -1\n", "plant.toml:1:8: seed: must lie from 0"},
        {"duration = \"long\"\n", "plant.toml:1:12: duration: must be a number"},
        {"duration = 0\n", "duration: must lie from 0.001"},
        {"reports = 1.5\n", "reports: must be a whole number"},
        {"[server]\nport = 70000\n", "plant.toml:2:8: server.port: must lie from 1 to 65535"},
        {"[server]\nhost = \"\"\n", "server.host: must name a host"},
        {"server = 3\n", "server: must be a table"},
        {"[[device]]\nserial = 3\n", "device[1].model: missing"},
        {"[[device]]\nmodel = \"pump\"\nserial = 3\n", "plant.toml:2:9: device[1].model: must be \"thermo\" or \"relay\""},
        {"[[device]]\nmodel = \"thermo\"\n", "device[1].serial: give either serial"},
        {"[[device]]\nmodel = \"thermo\"\nserial = 1\nserials = \"1-2\"\n", "give either serial"},
        {"[[device]]\nmodel = \"thermo\"\nserials = \"5-2\"\n", "plant.toml:3:11: device[1].serials:"},
        {"[[device]]\nmodel = \"thermo\"\nserial = 0\n", "device[1].serial: must lie from 1 to 2147483647"},
        {"[[device]]\nmodel = \"thermo\"\nserial = 1\ntemperature = 151\n", "device[1].temperature: must lie from -30 to 150"},
        {"[[device]]\nmodel = \"relay\"\nserial = 1\nprofile = { kind = \"sine\" }\n",
         "plant.toml:4:11: device[1].profile: a Relay-Box has no temperature"},
        {"[[device]]\nmodel = \"thermo\"\nserial = 1\nprofile = { kind = \"saw\" }\n",
         "plant.toml:4:20: device[1].profile.kind: must be steps, ramp, sine, random-walk or csv"},
        {"[[device]]\nmodel = \"thermo\"\nserial = 1\nprofile = { kind = \"sine\", period = 0 }\n",
         "device[1].profile.period: must lie from 0.001"},
        {"[[device]]\nmodel = \"thermo\"\nserial = 1\nprofile = { kind = \"ramp\", mean = 3 }\n",
         "device[1].profile.mean: unknown key"},
        {"[[device]]\nmodel = \"thermo\"\nserial = 1\nprofile = { kind = \"random-walk\", min = 50, max = 40 }\n",
         "device[1].profile.min: must not lie above max"},
        {"[[device]]\nmodel = \"thermo\"\nserial = 1\nprofile = { kind = \"steps\", mode = \"sideways\" }\n",
         "device[1].profile.mode: must be none"},
        {"[[device]]\nmodel = \"thermo\"\nserial = 1\nprofile = { kind = \"csv\" }\n", "device[1].profile.file: give one of file"},
        {"[[device]]\nmodel = \"thermo\"\nserial = 1\nprofile = { kind = \"csv\", file = \"none.csv\" }\n",
         "device[1].profile.file: cannot read"},
        {"[[device]]\nmodel = \"thermo\"\nserials = \"1-3\"\n[[device]]\nmodel = \"thermo\"\nserial = 2\n",
         "plant.toml:4:1: device[2]: device thermo:2 given twice"},
        {"device = 3\n", "device: must be a list"},
    };
    for (const Row& row : rows)
        EXPECT_THAT(ErrorOf(row.text), HasSubstr(row.expected)) << row.text;
}

TEST(CsvTableTest, RowsAfterAnOptionalHeaderBecomePoints)
{
    std::vector<sim::TablePoint> points;
    std::string error;
    ASSERT_TRUE(ParseCsvTable("# a kiln\nseconds,value\r\n# warm-up\n0, 20\n\n1.5,-3e1\n", points, error)) << error;
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[1].seconds, 1.5);
    EXPECT_EQ(points[1].value, -30.0);

    struct Row {
        const char* text;
        const char* expected;
    };
    const Row rows[] = {
        {"", "no rows"},
        {"seconds,value\n", "no rows"},
        {"0,1\n2,x\n", "line 2: not two numbers"},
        {"0,1\n0,2\n", "line 2: seconds must start from 0 or later and rise"},
        {"-1,1\n", "line 1: seconds must start"},
        {"0,1\n1,nan\n", "line 2: not two numbers"},
        {"0,1\n1;2\n", "line 2: not two numbers"},
    };
    for (const Row& row : rows) {
        EXPECT_FALSE(ParseCsvTable(row.text, points, error)) << row.text;
        EXPECT_THAT(error, HasSubstr(row.expected)) << row.text;
    }
}

TEST_F(ScenarioTest, FaultsNameTheirDevicesTriggerAndSize)
{
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(Parse(R"(
[[device]]
model = "thermo"
serials = "1-4"
[[device]]
model = "relay"
serial = 1005
[[fault]]
devices = "thermo:2-3"
kind = "split"
every = 10
delay = 0.5
[[fault]]
kind = "garbage"
probability = 0.01
bytes = 7
[[fault]]
devices = "relay:5"
kind = "clock-2038"
at = 30
)",
                      scenario, error))
        << error;
    ASSERT_EQ(scenario.faults.size(), 3u);
    EXPECT_EQ(scenario.faults[0].fault.kind, sim::FaultKind::kSplit);
    EXPECT_EQ(scenario.faults[0].fault.trigger.every, 10u);
    EXPECT_EQ(scenario.faults[0].fault.delay, 0.5);
    EXPECT_EQ(scenario.faults[0].devices, (std::vector<sim::DeviceRange>{{TYPE_THERMO, 2, 3}}));
    EXPECT_TRUE(scenario.faults[1].devices.empty());
    EXPECT_EQ(scenario.faults[1].fault.trigger.probability, 0.01);
    EXPECT_EQ(scenario.faults[1].fault.bytes, 7u);
    EXPECT_EQ(scenario.faults[2].fault.trigger.at, 30.0);
    EXPECT_EQ(scenario.faults[2].fault.seconds, 0.0);
    EXPECT_EQ(scenario.faults[2].devices, (std::vector<sim::DeviceRange>{{TYPE_RELAY, 1005, 1005}}));

    struct Row {
        const char* fault;
        const char* expected;
    };
    const Row rows[] = {
        {"kind = \"split\"\n", "fault[1].at: give one of at = SECONDS, every = N or probability = P"},
        {"kind = \"split\"\nevery = 2\nat = 3\n", "give one of"},
        {"kind = \"spilt\"\nevery = 2\n", "fault[1].kind: must be missing-nul"},
        {"every = 2\n", "fault[1].kind: missing"},
        {"kind = \"split\"\nprobability = 1.5\n", "fault[1].probability: must lie from 0 to 1"},
        {"kind = \"split\"\nevery = 0\n", "fault[1].every: must lie from 1"},
        {"kind = \"garbage\"\nevery = 1\nbytes = 0\n", "fault[1].bytes: must lie from 1 to 1000000"},
        {"kind = \"out-of-range\"\nevery = 1\nvalue = 20\n", "fault[1].value: must lie outside -30 to 150"},
        {"kind = \"out-of-range\"\nevery = 1\ndevices = \"relay:1\"\n", "fault[1].kind: out-of-range needs a Thermo-Box"},
        {"kind = \"split\"\nevery = 1\ndevices = \"thermo:3-9\"\n", "fault[1].devices: names devices that no [[device]]"},
        {"kind = \"split\"\nevery = 1\ndevices = \"pump:1\"\n", "fault[1].devices:"},
        {"kind = \"split\"\nevery = 1\nspeed = 3\n", "fault[1].speed: unknown key"},
    };
    for (const Row& row : rows)
        EXPECT_THAT(ErrorOf(kFourThermosAndARelay + "[[fault]]\n" + row.fault), HasSubstr(row.expected)) << row.fault;
}

TEST_F(ScenarioTest, EventsCarryTheirActionValueAndSchedule)
{
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(Parse(R"(
[[device]]
model = "thermo"
serials = "1-4"
[[device]]
model = "relay"
serial = 1005
toggle_every = 10.0
[[event]]
at = 30.0
devices = "relay:1005"
action = "silence"
duration = 5.0
[[event]]
at = 5
every = 20
action = "set-profile"
profile = { kind = "ramp", rate = 0.5 }
[[event]]
at = 1
devices = "relay:5"
action = "set-switch"
state = "on"
[[event]]
at = 2
action = "set-period"
period = 2.0
)",
                      scenario, error))
        << error;
    ASSERT_EQ(scenario.actions.size(), 5u);
    const sim::TimedAction& toggle = scenario.actions[0];
    EXPECT_EQ(toggle.action.kind, sim::ActionKind::kSetSwitch);
    EXPECT_EQ(toggle.action.change, sim::SwitchChange::kToggle);
    EXPECT_EQ(toggle.every, 10.0);
    EXPECT_EQ(toggle.devices, (std::vector<sim::DeviceRange>{{TYPE_RELAY, 1005, 1005}}));
    EXPECT_EQ(scenario.actions[1].action.kind, sim::ActionKind::kSilence);
    EXPECT_EQ(scenario.actions[1].action.seconds, 5.0);
    EXPECT_EQ(scenario.actions[2].every, 20.0);
    EXPECT_EQ(scenario.actions[2].action.profile.kind, sim::ProfileKind::kRamp);
    EXPECT_EQ(scenario.actions[3].action.change, sim::SwitchChange::kOn);
    EXPECT_EQ(scenario.actions[4].action.seconds, 2.0);

    struct Row {
        const char* event;
        const char* expected;
    };
    const Row rows[] = {
        {"action = \"reset\"\n", "event[1].at: missing"},
        {"at = 1\n", "event[1].action: missing"},
        {"at = 1\naction = \"explode\"\n", "event[1].action: must be disconnect"},
        {"at = 1\naction = \"silence\"\n", "event[1].duration: missing for silence"},
        {"at = 1\naction = \"reset\"\nduration = 3\n", "event[1].duration: does not belong to reset"},
        {"at = 1\naction = \"set-temperature\"\nvalue = 200\n", "event[1].value: must lie from -30 to 150"},
        {"at = 1\naction = \"set-temperature\"\nvalue = 20\ndevices = \"relay:1\"\n",
         "event[1].action: set-temperature does not fit the model of these devices"},
        {"at = 1\naction = \"set-switch\"\nstate = \"up\"\ndevices = \"relay:1\"\n", "event[1].state: must be \"on\", \"off\" or \"toggle\""},
        {"at = 1\naction = \"set-period\"\nperiod = 0\n", "event[1].period: must lie from 0.001"},
        {"at = 1\naction = \"reset\"\nevery = 0\n", "event[1].every: must lie from 0.001"},
        {"at = 1\naction = \"reset\"\ndevices = \"relay:2\"\n", "event[1].devices: names devices that no [[device]]"},
    };
    for (const Row& row : rows)
        EXPECT_THAT(ErrorOf(kFourThermosAndARelay + "[[event]]\n" + row.event), HasSubstr(row.expected)) << row.event;
    EXPECT_THAT(ErrorOf("[[device]]\nmodel = \"thermo\"\nserial = 1\ntoggle_every = 3\n"),
                HasSubstr("device[1].toggle_every: a Thermo-Box has no switch"));
}

TEST_F(ScenarioTest, ExpectationsForAllDevicesAndPerGroup)
{
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(Parse(R"(
[expect]
no_unreadable_commands = true
[[device]]
model = "relay"
serials = "1-2"
expect = { connection = "closed", within = 2.5, toggles = { min = 1, max = 3 } }
)",
                      scenario, error))
        << error;
    ASSERT_EQ(scenario.expectations.size(), 2u);
    EXPECT_TRUE(scenario.expectations[0].devices.empty());
    EXPECT_TRUE(scenario.expectations[0].noUnreadableCommands);
    const sim::Expectation& group = scenario.expectations[1];
    EXPECT_EQ(group.devices, (std::vector<sim::DeviceRange>{{TYPE_RELAY, 1001, 1002}}));
    EXPECT_EQ(group.connection, sim::ConnectionExpectation::kClosed);
    EXPECT_EQ(group.within, 2.5);
    EXPECT_EQ(group.minToggles, 1u);
    EXPECT_EQ(group.maxToggles, 3u);

    struct Row {
        const char* text;
        const char* expected;
    };
    const Row rows[] = {
        {"[expect]\nconnection = \"open\"\n", "expect.connection: must be \"kept\" or \"closed\""},
        {"[expect]\nwithin = 2\n", "expect.within: needs connection = \"closed\""},
        {"[expect]\ntoggles = { min = 3, max = 1 }\n", "expect.toggles.min: must not lie above max"},
        {"[expect]\ntoggles = {}\n", "expect.toggles: give min, max or both"},
        {"[expect]\ntoggles = { least = 1 }\n", "expect.toggles.least: unknown key"},
        {"[expect]\nno_unreadable_commands = 1\n", "expect.no_unreadable_commands: must be true or false"},
        {"expect = 3\n", "expect: must be a table"},
    };
    for (const Row& row : rows)
        EXPECT_THAT(ErrorOf(row.text), HasSubstr(row.expected)) << row.text;
}

TEST_F(ScenarioTest, CharactersBeyondAsciiComeBackAsWrittenAndNeverReachTheParsersTables)
{
    // Strings and comments keep what they hold, and keys and messages show it as written.
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(Parse("# K\xc3\xb6ln, 20 \xc2\xb0" "C\n[server] # \xd0\xb9\nhost = \"m\xc3\xbcnchen-\xe2\x80\xaf\xef\xbb\xbf\"\n",
                      scenario, error))
        << error;
    EXPECT_EQ(scenario.host, "m\xc3\xbcnchen-\xe2\x80\xaf\xef\xbb\xbf");
    EXPECT_EQ(ErrorOf("\"k\xc3\xa4y\" = 1\n"), "plant.toml:1:1: k\xc3\xa4y: unknown key");
    struct Row {
        std::string_view text;
        const char* error;
    };
    // Each of these reached undefined behaviour in the parser's white-space table before.
    const Row rows[] = {
        {"o=5\"\xef\xbb\xaf", "plant.toml:1:"},
        {"\"\"\"\\\xd0\xb9", "plant.toml:1:"},
        {"a = 1 \xd0\xb9\n", "plant.toml:1:7: not TOML"},
        {"\xcd\x9a", "plant.toml:1:1: not TOML"},
        {"a = \"\xf3\xb0\x80\x80\"", "plant.toml:1:6: not taken: a character from U+F0000 to U+FFFFF (private use)"},
        {"a = \"\xc3\x28\"", "plant.toml:1:"},
        // A table header's key that starts with no key character broke the parser's assumption.
        {"[=]\n", "plant.toml:1:2: not TOML"},
        {"[[ %]]\n", "plant.toml:1:4: not TOML"},
    };
    for (const Row& row : rows)
        EXPECT_THAT(ErrorOf(std::string(row.text)), ::testing::StartsWith(row.error)) << row.text;
    std::string shielded;
    TextPosition at;
    ASSERT_TRUE(ShieldText("\xd0\xb9\xef\xbb\xbf\xf0\x9f\x98\x80", shielded, at));
    EXPECT_EQ(shielded.size(), 12u);
    EXPECT_EQ(UnshieldText(shielded), "\xd0\xb9\xef\xbb\xbf\xf0\x9f\x98\x80");
}
