#include "tools/cli/CliOptions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

using namespace mimicbox;
using namespace mimicbox::cli;
using namespace std::chrono_literals;

namespace {

bool Parse(std::vector<const char*> args, CliOptions& options, std::string& error)
{
    return ParseCliOptions(static_cast<int>(args.size()), args.data(), options, error);
}

}  // namespace

TEST(CliOptionsTest, DevicesAndSettingsAreRead)
{
    CliOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--device", "relay:1005", "--device", "thermo:3", "--device", "relay:7", "--server", "host",
                       "--port", "6000", "--temperature", "21.5", "--step", "down-fast", "--reports", "10",
                       "--duration", "2.5", "--reconnect", "1", "--ramp-up", "4", "--source", "127.0.0.2", "--quiet"},
                      options, error))
        << error;
    ASSERT_EQ(options.plant.devices.size(), 3u);
    EXPECT_EQ(options.plant.devices[0], (DeviceIdentity{TYPE_RELAY, 1005}));
    EXPECT_EQ(options.plant.devices[1], (DeviceIdentity{TYPE_THERMO, 3}));
    EXPECT_EQ(options.plant.devices[2], (DeviceIdentity{TYPE_RELAY, 1007}));
    EXPECT_EQ(options.server, "host");
    EXPECT_EQ(options.port, 6000u);
    ASSERT_EQ(options.plant.setups.size(), 3u);
    EXPECT_EQ(options.plant.setups[1].temperatureText, "21.5");
    EXPECT_EQ(options.plant.setups[1].profile.kind, sim::ProfileKind::kSteps);
    EXPECT_EQ(options.plant.setups[1].profile.stepMode, STEP_DOWN_FAST);
    EXPECT_EQ(options.plant.policy.reportLimit, 10u);
    EXPECT_EQ(options.plant.duration, 2500ms);
    EXPECT_EQ(options.plant.policy.reconnect, 1s);
    EXPECT_EQ(options.plant.rampUp, 4s);
    EXPECT_EQ(options.sources, std::vector<std::string>{"127.0.0.2"});
    EXPECT_TRUE(options.quiet);
}

TEST(CliOptionsTest, TheControlApiNeedsNoDeviceAndATokenOffLoopback)
{
    CliOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--control", "127.0.0.1:0"}, options, error)) << error;
    EXPECT_TRUE(options.plant.devices.empty());
    EXPECT_EQ(options.controlAddress, "127.0.0.1");
    EXPECT_EQ(options.controlPort, 0u);
    ASSERT_TRUE(Parse({"--all", "--control", "0.0.0.0:8080", "--control-token", "t0k"}, options, error)) << error;
    EXPECT_EQ(options.controlPort, 8080u);
    EXPECT_EQ(options.controlToken, "t0k");
}

TEST(CliOptionsTest, AllMeansThirtyTwoDistinctDevices)
{
    CliOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--all"}, options, error));
    ASSERT_EQ(options.plant.devices.size(), 32u);
    EXPECT_EQ(options.plant.devices.front(), (DeviceIdentity{TYPE_THERMO, 1}));
    EXPECT_EQ(options.plant.devices.back(), (DeviceIdentity{TYPE_RELAY, 1016}));
    EXPECT_EQ(options.port, 54741u);
    EXPECT_EQ(options.server, "127.0.0.1");
}

TEST(CliOptionsTest, RangesAndShardsPickTheDevicesOfThisProcess)
{
    CliOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--device", "thermo:1-5000", "--device", "relay:1001-6000", "--shard", "2/4"}, options, error))
        << error;
    ASSERT_EQ(options.plant.devices.size(), 2500u);
    EXPECT_EQ(options.plant.devices.front(), (DeviceIdentity{TYPE_RELAY, 1001}));
    EXPECT_EQ(options.plant.devices.back(), (DeviceIdentity{TYPE_RELAY, 3500}));
}

TEST(CliOptionsTest, IPv6AddressesAreTakenWhereverAnAddressIs)
{
    CliOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--all", "--server", "[::1]", "--source", "::1", "--control", "[::1]:0"}, options, error)) << error;
    EXPECT_EQ(options.server, "::1");
    EXPECT_EQ(options.sources, std::vector<std::string>{"::1"});
    EXPECT_EQ(options.controlAddress, "::1");
    // ::1 is loopback: no token is needed; any other address needs one.
    EXPECT_FALSE(Parse({"--all", "--control", "[::]:0"}, options, error));
    EXPECT_EQ(error, "serving the control API on :: needs --control-token");
    // Without brackets, an IPv6 address cannot be told from its port.
    EXPECT_FALSE(Parse({"--all", "--control", "::1:8080"}, options, error));
}

TEST(CliOptionsTest, UsageErrorsNameTheirArgument)
{
    struct Row {
        std::vector<const char*> args;
        const char* error;
    };
    const Row rows[] = {
        {{}, "no device given (--device MODEL:SERIALS, --all, a scenario's [[device]], or --control)"},
        {{"--device", "thermo:0"}, "bad value 'thermo:0' for --device (serials are whole numbers from 1 to 2147483647)"},
        {{"--device", "thermo:1-2147483648"},
         "bad value 'thermo:1-2147483648' for --device (serials are whole numbers from 1 to 2147483647)"},
        {{"--device", "thermo:9-3"}, "bad value 'thermo:9-3' for --device (the range runs backwards)"},
        {{"--device", "toaster:1"}, "bad value 'toaster:1' for --device (must be \"thermo\" or \"relay\")"},
        {{"--device", "relay:5", "--device", "relay:1005"},
         "bad value 'relay:1005' for --device (device relay:1005 given twice)"},
        {{"--device", "thermo:1-100", "--device", "thermo:50-60"},
         "bad value 'thermo:50-60' for --device (device thermo:50 given twice)"},
        {{"--all", "--device", "thermo:1"}, "--all and --device exclude each other"},
        {{"--all", "--shard", "3/2"}, "bad value '3/2' for --shard (N runs from 1 to 1000000, and K from 0 to N - 1)"},
        {{"--all", "--shard", "0/0"}, "bad value '0/0' for --shard (N runs from 1 to 1000000, and K from 0 to N - 1)"},
        {{"--device", "thermo:1-2000000"},
         "2000000 devices in 1 shards are too many for one process: at most 1000000 each (--shard K/N)"},
        {{"--all", "--port", "0"}, "bad value '0' for --port (must lie from 1 to 65535)"},
        {{"--all", "--port", "65536"}, "bad value '65536' for --port (must lie from 1 to 65535)"},
        {{"--all", "--port", "x"}, "bad value 'x' for --port (must be a whole number)"},
        {{"--all", "--server", ""}, "bad value '' for --server (must name a host)"},
        {{"--all", "--source", "localhost"}, "bad value 'localhost' for --source (an IPv4 or IPv6 address of this machine)"},
        {{"--all", "--temperature", "150.01"}, "bad value '150.01' for --temperature (must lie from -30 to 150)"},
        {{"--all", "--temperature", "21,5"}, "bad value '21,5' for --temperature (must be a number)"},
        {{"--all", "--step", "sideways"}, "bad value 'sideways' for --step (must be none, up, up-fast, down or down-fast)"},
        {{"--all", "--reports", "0"}, "bad value '0' for --reports (must lie from 1 to 9223372036854775807)"},
        {{"--all", "--duration", "-1"}, "bad value '-1' for --duration (must lie from 0.001 to 1e+09)"},
        {{"--all", "--reconnect", "nan"}, "bad value 'nan' for --reconnect (a number of seconds above 0)"},
        {{"--all", "--ramp-up", "inf"}, "bad value 'inf' for --ramp-up (must be a number)"},
        {{"--all", "--ramp-up", "-2"}, "bad value '-2' for --ramp-up (must lie from 0 to 1e+09)"},
        {{"--all", "--io", "poll"}, "bad value 'poll' for --io (must be auto, uring or epoll)"},
        {{"--all", "--port"}, "--port needs a value"},
        {{"--all", "--loud"}, "unknown option '--loud'"},
        {{"--all", "stray"}, "unexpected argument 'stray'"},
        {{"--all", "--control", "localhost:80"},
         "bad value 'localhost:80' for --control (ADDRESS:PORT, an IPv4 address or [an IPv6 one] and a port from 0 to 65535)"},
        {{"--all", "--control", "127.0.0.1:65536"},
         "bad value '127.0.0.1:65536' for --control (ADDRESS:PORT, an IPv4 address or [an IPv6 one] and a port from 0 to 65535)"},
        {{"--all", "--control", "0.0.0.0:8080"}, "serving the control API on 0.0.0.0 needs --control-token"},
        {{"--replay", "/nonexistent/field.jsonl"}, "/nonexistent/field.jsonl: No such file or directory"},
    };
    for (const Row& row : rows) {
        CliOptions options;
        std::string error;
        EXPECT_FALSE(Parse(row.args, options, error)) << row.error;
        EXPECT_EQ(error, row.error);
    }
}

TEST(CliOptionsTest, HelpNeedsNothingElseAndDescribesEveryOption)
{
    CliOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--help"}, options, error));
    EXPECT_TRUE(options.help);
    for (const char* option : {"--device", "--all", "--shard", "--server", "--port", "--source", "--ramp-up",
                               "--reconnect", "--temperature", "--step", "--reports", "--duration", "--quiet", "--help",
                               "--version", "add MODEL:SERIALS", "remove DEVICE", "fault DEVICE KIND"})
        EXPECT_NE(CliUsage().find(option), std::string::npos) << option;
    // Every line fits a terminal of 80 columns.
    const std::string usage = CliUsage();
    for (std::size_t start = 0, end; start < usage.size(); start = end + 1) {
        end = std::min(usage.find('\n', start), usage.size());
        EXPECT_LE(end - start, 80u) << usage.substr(start, end - start);
    }
}

TEST(CliOptionsTest, ScenarioFillsWhatTheCommandLineLeavesOut)
{
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "mimicbox-cli-options-scenario.toml";
    std::ofstream(file) << "seed = 9\nduration = 2.5\nreports = 4\n[server]\nhost = \"testhost\"\nport = 6000\n"
                           "[[device]]\nmodel = \"thermo\"\nserials = \"1-2\"\ntemperature = 30\n"
                           "profile = { kind = \"ramp\", rate = 0.5 }\n[[device]]\nmodel = \"relay\"\nserial = 1005\n";
    const std::string path = file.string();
    CliOptions fromFile;
    std::string error;
    ASSERT_TRUE(Parse({"--scenario", path.c_str()}, fromFile, error)) << error;
    EXPECT_EQ(fromFile.server, "testhost");
    EXPECT_EQ(fromFile.port, 6000u);
    EXPECT_EQ(fromFile.seed, 9u);
    EXPECT_EQ(fromFile.plant.duration, 2500ms);
    EXPECT_EQ(fromFile.plant.policy.reportLimit, 4u);
    ASSERT_EQ(fromFile.plant.devices.size(), 3u);
    ASSERT_EQ(fromFile.plant.setups.size(), 3u);
    EXPECT_EQ(fromFile.plant.setups[1].temperatureText, "30");
    EXPECT_EQ(fromFile.plant.setups[1].profile.kind, sim::ProfileKind::kRamp);
    EXPECT_EQ(fromFile.plant.setups[2].profile.kind, sim::ProfileKind::kSteps);

    // What the command line gives wins; its devices replace the file's, and a shard slices them.
    CliOptions overridden;
    ASSERT_TRUE(Parse({"--scenario", path.c_str(), "--port", "7000", "--seed", "5", "--duration", "1", "--shard", "1/3"},
                      overridden, error))
        << error;
    EXPECT_EQ(overridden.port, 7000u);
    EXPECT_EQ(overridden.server, "testhost");
    EXPECT_EQ(overridden.seed, 5u);
    EXPECT_EQ(overridden.plant.duration, 1s);
    ASSERT_EQ(overridden.plant.devices, (std::vector<DeviceIdentity>{{TYPE_THERMO, 2}}));
    EXPECT_EQ(overridden.plant.setups.at(0).temperatureText, "30");
    CliOptions replaced;
    ASSERT_TRUE(Parse({"--scenario", path.c_str(), "--device", "relay:7"}, replaced, error)) << error;
    EXPECT_EQ(replaced.plant.devices, (std::vector<DeviceIdentity>{{TYPE_RELAY, 1007}}));
    EXPECT_EQ(replaced.plant.setups.at(0).temperatureText, "0");

    EXPECT_FALSE(Parse({"--scenario", path.c_str(), "--seed", "-1"}, replaced, error));
    EXPECT_EQ(error, "bad value '-1' for --seed (a whole number from 0 to 18446744073709551615)");
    std::filesystem::remove(file);
    EXPECT_FALSE(Parse({"--scenario", path.c_str()}, replaced, error));
    EXPECT_EQ(error, "cannot read the scenario " + path + ": No such file or directory");
}
