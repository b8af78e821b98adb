#include "tools/sim/Device.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/DialogFixture.h"
#include "tests/SplitRecords.h"

using namespace mimicbox;
using mimicbox::sim::Device;
using mimicbox::sim::Instant;

namespace {

class DeviceTest : public DialogTest {};

}  // namespace

TEST_F(DeviceTest, ThermoReportsMatchTheDialogsByteForByte)
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

    Device device({TYPE_THERMO, 9}, "148.37", STEP_UP_FAST);
    for (int i = 0; i < kTicks; ++i)
        EXPECT_EQ(device.NextReport(clocks[static_cast<std::size_t>(i)], Instant{}), fromDialog[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(device.Temperature(), TEMP_MAX);
}

TEST_F(DeviceTest, StepsCarryThroughTheFieldTextAsInTheDialog)
{
    Device device({TYPE_THERMO, 1}, "20", STEP_UP);
    for (int i = 0; i < 1000; ++i)
        device.NextReport(0, Instant{});
    EXPECT_EQ(device.Temperature(), 30.0f);
    Device falling({TYPE_THERMO, 1}, "-29.95", STEP_DOWN_FAST);
    EXPECT_EQ(falling.NextReport(5, Instant{}), "TolvarkControl: 16, 1, 4, 0, 0, 1, 10;5, -30.000000;");
}

TEST_F(DeviceTest, ProfileValuesGoOutAsTheDialogSendsThemTyped)
{
    // A ramp that passes the upper limit: each value, typed into the dialog's field, must give the
    // device's record byte for byte, the clamp included.
    sim::Profile ramp;
    ramp.kind = sim::ProfileKind::kRamp;
    ramp.rate = 0.77;
    Device device({TYPE_THERMO, 9}, "146.3", STEP_NONE);
    device.SetProfile(ramp);
    m_system.SetCalendarSeconds(1765000000);
    m_pHost->ChooseEntry(IDC_SERIAL, 8);
    ConnectToServer();
    m_pHost->Click(IDC_SEND);
    const sim::Instant start{std::chrono::hours(1)};
    for (int i = 0; i < 8; ++i) {
        const int64_t clock = 1765000000 + 1500 * (i + 1) / 1000;
        const std::string record = device.NextReport(clock, start + std::chrono::milliseconds(1500 * i));
        char typed[32];
        std::snprintf(typed, sizeof typed, "%.9g", static_cast<double>(device.Temperature()));
        m_pHost->TypeText(IDC_TEMP, typed);
        AdvanceMs(1500);
        EXPECT_EQ(SplitRecords(m_server.Read(62)).at(0), record) << i;
    }
    EXPECT_EQ(device.Temperature(), TEMP_MAX);
}

TEST_F(DeviceTest, ProfilesClampRestartOnATypedTemperatureAndLeaveRelayBoxesAlone)
{
    sim::Profile sine;
    sine.kind = sim::ProfileKind::kSine;
    sine.mean = 140;
    sine.amplitude = 200;
    sine.period = 4;
    Device thermo({TYPE_THERMO, 1}, "0", STEP_NONE);
    thermo.SetProfile(sine);
    const sim::Instant start{std::chrono::hours(1)};
    EXPECT_EQ(thermo.NextReport(7, start + std::chrono::seconds(1)), "TolvarkControl: 16, 1, 4, 0, 0, 1, 10;7, 140.000000;");
    EXPECT_EQ(thermo.NextReport(7, start + std::chrono::seconds(2)), "TolvarkControl: 16, 1, 4, 0, 0, 1, 10;7, 150.000000;");
    EXPECT_EQ(thermo.NextReport(7, start + std::chrono::seconds(4)), "TolvarkControl: 16, 1, 4, 0, 0, 1, 10;7, -30.000000;");

    sim::Profile ramp;
    ramp.kind = sim::ProfileKind::kRamp;
    ramp.rate = 1;
    thermo.SetProfile(ramp);
    EXPECT_EQ(thermo.NextReport(7, start + std::chrono::seconds(10)), "TolvarkControl: 16, 1, 4, 0, 0, 1, 10;7, -30.000000;");
    EXPECT_TRUE(thermo.SetTemperature("20"));
    EXPECT_FALSE(thermo.SetTemperature("warm"));
    EXPECT_EQ(thermo.NextReport(7, start + std::chrono::seconds(30)), "TolvarkControl: 16, 1, 4, 0, 0, 1, 10;7, 20.000000;");
    EXPECT_EQ(thermo.NextReport(7, start + std::chrono::seconds(32)), "TolvarkControl: 16, 1, 4, 0, 0, 1, 10;7, 22.000000;");

    Device relay({TYPE_RELAY, 1001}, "0", STEP_NONE);
    relay.SetProfile(sine);
    EXPECT_EQ(relay.NextReport(7, start), "TolvarkControl: 8, 1001, 4, 0, 0, 1, 10;7, 0, 0;");
}

TEST_F(DeviceTest, RelayBoxFlipsOncePerToggleByTheDialogsRules)
{
    Device device({TYPE_RELAY, 1005}, "0", STEP_NONE);
    const std::string toggle = std::string("TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;") + '\0';
    const std::string chunk = toggle + "bad" + '\0' + toggle;
    const Device::ChunkResult result = device.OnChunk(chunk);
    EXPECT_EQ(result.records, 1);
    EXPECT_EQ(result.toggles, 1);
    EXPECT_EQ(device.SwitchState(), 1);
    EXPECT_EQ(device.NextReport(1765000000, Instant{}), "TolvarkControl: 8, 1005, 4, 0, 0, 1, 10;1765000000, 1, 0;");
    EXPECT_EQ(device.Period(), std::chrono::milliseconds(RELAY_PERIOD_MS));
}

TEST_F(DeviceTest, ThermoBoxIgnoresToggles)
{
    Device device({TYPE_THERMO, 2}, "1", STEP_NONE);
    const std::string toggle = "TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;";
    const Device::ChunkResult result = device.OnChunk(toggle);
    EXPECT_EQ(result.records, 1);
    EXPECT_EQ(result.toggles, 0);
    EXPECT_EQ(device.Period(), std::chrono::milliseconds(THERMO_PERIOD_MS));
}

TEST_F(DeviceTest, NamesSpellTheModelAndTheFullSerial)
{
    EXPECT_EQ(sim::DeviceName({TYPE_THERMO, 3}), "thermo:3");
    EXPECT_EQ(sim::DeviceName({TYPE_RELAY, 1005}), "relay:1005");
    EXPECT_EQ(sim::DeviceName({TYPE_RELAY, 2147483647}), "relay:2147483647");
}
