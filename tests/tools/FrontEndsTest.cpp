// One table of invalid scenarios through the three front ends that fill the scenario's structs: a
// TOML file, the control API's JSON and the command line. Each front end locates the fault its own
// way; what is wrong reads the same in all three.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tools/cli/CliOptions.h"
#include "tools/control/RequestBodies.h"
#include "tools/scenario/Scenario.h"

using namespace mimicbox;
using ::testing::HasSubstr;

namespace {

struct Row {
    const char* message;                // what every front end that can say it must say
    const char* toml;                   // a scenario file, or null
    const char* json;                   // a POST /devices body ("device" ...) or a profile or fault body, or null
    std::vector<const char*> commandLine;  // or empty
};

std::string TomlError(const char* text)
{
    sim::ScenarioPlan plan;
    std::string error;
    EXPECT_FALSE(scenario::ParseScenario(text, "plant.toml", ".", plan, error)) << text;
    return error;
}

std::string JsonError(const std::string& body)
{
    std::string error;
    std::vector<sim::DeviceGroup> groups;
    sim::Profile profile;
    sim::Fault fault;
    const bool read = body.find("\"model\"") != std::string::npos ? control::ReadDeviceTables(body, groups, error)
                      : body.find("\"kind\": \"sine\"") != std::string::npos ||
                              body.find("\"kind\": \"steps\"") != std::string::npos
                          ? control::ReadProfile(body, profile, error)
                          : control::ReadFault(body, fault, error);
    EXPECT_FALSE(read) << body;
    return error;
}

std::string CommandLineError(std::vector<const char*> args)
{
    cli::CliOptions options;
    std::string error;
    EXPECT_FALSE(cli::ParseCliOptions(static_cast<int>(args.size()), args.data(), options, error));
    return error;
}

}  // namespace

TEST(FrontEndsTest, EachFrontEndSaysWhatIsWrongInTheSameWords)
{
    const Row rows[] = {
        {"temperature: must lie from -30 to 150", "[[device]]\nmodel = \"thermo\"\nserial = 1\ntemperature = 151\n",
         R"({"model": "thermo", "serial": 1, "temperature": 151})", {}},
        {"must lie from -30 to 150", nullptr, nullptr, {"--device", "thermo:1", "--temperature", "151"}},
        {"must be a number", "[[device]]\nmodel = \"thermo\"\nserial = 1\ntemperature = \"hot\"\n",
         R"({"model": "thermo", "serial": 1, "temperature": "hot"})", {"--all", "--temperature", "hot"}},
        {"must be \"thermo\" or \"relay\"", "[[device]]\nmodel = \"pump\"\nserial = 1\n",
         R"({"model": "pump", "serial": 1})", {"--device", "pump:1"}},
        {"a Relay-Box range lies within 1-16 (the dialog's 1001-1016) or above 16",
         "[[device]]\nmodel = \"relay\"\nserials = \"15-18\"\n", R"({"model": "relay", "serials": "15-18"})",
         {"--device", "relay:15-18"}},
        {"the range runs backwards", "[[device]]\nmodel = \"thermo\"\nserials = \"9-3\"\n",
         R"({"model": "thermo", "serials": "9-3"})", {"--device", "thermo:9-3"}},
        {"a Thermo-Box has no switch", "[[device]]\nmodel = \"thermo\"\nserial = 1\ntoggle_every = 2\n",
         R"({"model": "thermo", "serial": 1, "toggle_every": 2})", {}},
        {"must be none, up, up-fast, down or down-fast",
         "[[device]]\nmodel = \"thermo\"\nserial = 1\nprofile = { kind = \"steps\", mode = \"sideways\" }\n",
         R"({"kind": "steps", "mode": "sideways"})", {"--all", "--step", "sideways"}},
        {"period: must lie from 0.001 to 1e+09",
         "[[device]]\nmodel = \"thermo\"\nserial = 1\nprofile = { kind = \"sine\", period = 0 }\n",
         R"({"kind": "sine", "period": 0})", {}},
        {"perod: unknown key", "[[device]]\nmodel = \"thermo\"\nserial = 1\nprofile = { kind = \"sine\", perod = 3 }\n",
         R"({"kind": "sine", "perod": 3})", {}},
        {"kind: must be missing-nul, double-nul, split", "[[fault]]\nkind = \"spilt\"\nevery = 2\n",
         R"({"kind": "spilt"})", {}},
        {"value: must lie outside -30 to 150", "[[fault]]\nkind = \"out-of-range\"\nevery = 2\nvalue = 20\n",
         R"({"kind": "out-of-range", "value": 20})", {}},
        {"must lie from 0.001 to 1e+09", "duration = 0\n", nullptr, {"--all", "--duration", "0"}},
        {"must lie from 1 to 65535", "[server]\nport = 0\n", nullptr, {"--all", "--port", "0"}},
    };
    for (const Row& row : rows) {
        if (row.toml) {
            EXPECT_THAT(TomlError(row.toml), HasSubstr(row.message)) << "TOML: " << row.toml;
        }
        if (row.json) {
            EXPECT_THAT(JsonError(row.json), HasSubstr(row.message)) << "JSON: " << row.json;
        }
        if (!row.commandLine.empty()) {
            EXPECT_THAT(CommandLineError(row.commandLine), HasSubstr(row.message)) << "command line: " << row.commandLine[1];
        }
    }
}
