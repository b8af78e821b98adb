#include "tools/cli/RunOptions.h"

#include <gtest/gtest.h>

#include <vector>

using namespace mimicbox;

namespace {

bool Parse(std::vector<const char*> args, RunOptions& options, std::string& strError)
{
    return ParseRunOptions(static_cast<int>(args.size()), args.data(), options, strError);
}

}  // namespace

TEST(RunOptionsTest, DevicesAndSettingsAreRead)
{
    RunOptions options;
    std::string strError;
    ASSERT_TRUE(Parse({"--device", "relay:1005", "--device", "thermo:3", "--device", "relay:7", "--server", "host",
                       "--port", "6000", "--temperature", "21.5", "--step", "down-fast", "--reports", "10",
                       "--duration", "2.5", "--reconnect", "1", "--quiet"},
                      options, strError))
        << strError;
    ASSERT_EQ(options.devices.size(), 3u);
    EXPECT_EQ(options.devices[0], (DeviceIdentity{TYPE_RELAY, 1005}));
    EXPECT_EQ(options.devices[1], (DeviceIdentity{TYPE_THERMO, 3}));
    EXPECT_EQ(options.devices[2], (DeviceIdentity{TYPE_RELAY, 1007}));
    EXPECT_EQ(options.strServer, "host");
    EXPECT_EQ(options.nPort, 6000u);
    EXPECT_EQ(options.strTemperature, "21.5");
    EXPECT_EQ(options.nStepMode, STEP_DOWN_FAST);
    EXPECT_EQ(options.nReports, 10);
    EXPECT_EQ(options.fDurationSeconds, 2.5);
    EXPECT_EQ(options.fReconnectSeconds, 1.0);
    EXPECT_TRUE(options.bQuiet);
}

TEST(RunOptionsTest, AllMeansThirtyTwoDistinctDevices)
{
    RunOptions options;
    std::string strError;
    ASSERT_TRUE(Parse({"--all"}, options, strError));
    ASSERT_EQ(options.devices.size(), 32u);
    EXPECT_EQ(options.devices.front(), (DeviceIdentity{TYPE_THERMO, 1}));
    EXPECT_EQ(options.devices.back(), (DeviceIdentity{TYPE_RELAY, 1016}));
    EXPECT_EQ(options.nPort, 54741u);
    EXPECT_EQ(options.strServer, "127.0.0.1");
}

TEST(RunOptionsTest, UsageErrorsNameTheirArgument)
{
    struct Row {
        std::vector<const char*> args;
        const char* pszError;
    };
    const Row rows[] = {
        {{}, "no device given (--device MODEL:SERIAL or --all)"},
        {{"--device", "thermo:17"}, "bad value 'thermo:17' for --device (thermo:1 to thermo:16, relay:1001 to relay:1016)"},
        {{"--device", "relay:1017"}, "bad value 'relay:1017' for --device (thermo:1 to thermo:16, relay:1001 to relay:1016)"},
        {{"--device", "thermo:1005"}, "bad value 'thermo:1005' for --device (thermo:1 to thermo:16, relay:1001 to relay:1016)"},
        {{"--device", "toaster:1"}, "bad value 'toaster:1' for --device (thermo:1 to thermo:16, relay:1001 to relay:1016)"},
        {{"--device", "relay:5", "--device", "relay:1005"}, "device relay:1005 given twice"},
        {{"--all", "--device", "thermo:1"}, "--all and --device exclude each other"},
        {{"--all", "--port", "0"}, "bad value '0' for --port (1 to 65535)"},
        {{"--all", "--port", "65536"}, "bad value '65536' for --port (1 to 65535)"},
        {{"--all", "--temperature", "150.01"}, "bad value '150.01' for --temperature (a number from -30 to 150)"},
        {{"--all", "--temperature", "21,5"}, "bad value '21,5' for --temperature (a number from -30 to 150)"},
        {{"--all", "--step", "sideways"}, "bad value 'sideways' for --step (none, up, up-fast, down or down-fast)"},
        {{"--all", "--reports", "0"}, "bad value '0' for --reports (a whole number from 1)"},
        {{"--all", "--duration", "-1"}, "bad value '-1' for --duration (a number of seconds above 0)"},
        {{"--all", "--reconnect", "nan"}, "bad value 'nan' for --reconnect (a number of seconds above 0)"},
        {{"--all", "--port"}, "--port needs a value"},
        {{"--all", "--verbose"}, "unknown option '--verbose'"},
    };
    for (const Row& row : rows) {
        RunOptions options;
        std::string strError;
        EXPECT_FALSE(Parse(row.args, options, strError)) << row.pszError;
        EXPECT_EQ(strError, row.pszError);
    }
}

TEST(RunOptionsTest, HelpNeedsNothingElseAndDescribesEveryOption)
{
    RunOptions options;
    std::string strError;
    ASSERT_TRUE(Parse({"--help"}, options, strError));
    EXPECT_TRUE(options.bHelp);
    for (const char* pszOption : {"--device", "--all", "--server", "--port", "--temperature", "--step", "--reports",
                                  "--duration", "--reconnect", "--quiet", "--help"})
        EXPECT_NE(RunUsage().find(pszOption), std::string::npos) << pszOption;
}
