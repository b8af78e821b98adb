#include "tools/cli/SimulatedDevice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/DialogFixture.h"
#include "tests/SplitRecords.h"

using namespace mimicbox;

namespace {

class SimulatedDeviceTest : public DialogTest {};

}  // namespace

TEST_F(SimulatedDeviceTest, ThermoReportsMatchTheDialogsByteForByte)
{
    constexpr int kTicks = 30;
    m_system.SetCalendarSeconds(1765000000);
    m_pHost->TypeText(IDC_TEMP, "148.37");
    m_pHost->ChooseEntry(IDC_SERIAL, 8);
    ConnectToServer();
    m_pHost->Click(IDC_SEND);
    m_pHost->Click(IDC_UP_FAST);
    std::vector<int64_t> clocks;
    for (int i = 0; i < kTicks; ++i) {
        AdvanceMs(1500);
        clocks.push_back(m_system.CalendarSeconds());
    }
    const std::vector<std::string> fromDialog = SplitRecords(m_server.Read(kTicks * 62));
    ASSERT_EQ(fromDialog.size(), static_cast<std::size_t>(kTicks));

    SimulatedDevice device({TYPE_THERMO, 9}, "148.37", STEP_UP_FAST);
    for (int i = 0; i < kTicks; ++i)
        EXPECT_EQ(device.NextReport(clocks[static_cast<std::size_t>(i)]), fromDialog[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(device.Temperature(), TEMP_MAX);
}

TEST_F(SimulatedDeviceTest, StepsCarryThroughTheFieldTextAsInTheDialog)
{
    SimulatedDevice device({TYPE_THERMO, 1}, "20", STEP_UP);
    for (int i = 0; i < 1000; ++i)
        device.NextReport(0);
    EXPECT_EQ(device.Temperature(), 30.0f);
    SimulatedDevice falling({TYPE_THERMO, 1}, "-29.95", STEP_DOWN_FAST);
    EXPECT_EQ(falling.NextReport(5), "TolvarkControl: 16, 1, 4, 0, 0, 1, 10;5, -30.000000;");
}

TEST_F(SimulatedDeviceTest, RelayBoxFlipsOncePerToggleByTheDialogsRules)
{
    SimulatedDevice device({TYPE_RELAY, 1005}, "0", STEP_NONE);
    const std::string toggle = std::string("TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;") + '\0';
    const std::string chunk = toggle + "bad" + '\0' + toggle;
    const SimulatedDevice::ChunkResult result = device.OnChunk(chunk.c_str(), static_cast<int>(chunk.size()));
    EXPECT_EQ(result.nRecords, 1);
    EXPECT_EQ(result.nToggles, 1);
    EXPECT_EQ(device.SwitchState(), 1);
    EXPECT_EQ(device.NextReport(1765000000), "TolvarkControl: 8, 1005, 4, 0, 0, 1, 10;1765000000, 1, 0;");
    EXPECT_EQ(device.PeriodMs(), RELAY_PERIOD_MS);
}

TEST_F(SimulatedDeviceTest, ThermoBoxIgnoresToggles)
{
    SimulatedDevice device({TYPE_THERMO, 2}, "1", STEP_NONE);
    const std::string toggle = "TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;";
    const SimulatedDevice::ChunkResult result = device.OnChunk(toggle.c_str(), static_cast<int>(toggle.size()));
    EXPECT_EQ(result.nRecords, 1);
    EXPECT_EQ(result.nToggles, 0);
    EXPECT_EQ(device.PeriodMs(), THERMO_PERIOD_MS);
}
