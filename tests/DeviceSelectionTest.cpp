#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/DialogFixture.h"

using namespace mimicbox;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class DeviceSelectionTest : public DialogTest {
protected:
    static std::vector<std::string> SerialTexts(int nFirst)
    {
        std::vector<std::string> texts;
        for (int n = nFirst; n < nFirst + SERIAL_COUNT; ++n)
            texts.push_back(std::string(1, ' ').append(std::to_string(n)));
        return texts;
    }
    void ExpectThermoControls(bool bThermo)
    {
        for (int nID : {IDC_TEMP_UNIT, IDC_TEMP_LABEL, IDC_PICTURE, IDC_TEMP, IDC_SEND, IDC_UP_FAST, IDC_UP,
                        IDC_DOWN_FAST, IDC_DOWN})
            EXPECT_EQ(Visible(nID), bThermo) << nID;
        for (int nID : {IDC_LED_OFF, IDC_LED_ON})
            EXPECT_EQ(Visible(nID), !bThermo) << nID;
        for (int nID : {IDOK, IDC_TYPE, IDC_SERIAL, IDC_SERVER, IDC_PORT, IDC_CONNECT})
            EXPECT_TRUE(Visible(nID)) << nID;
    }
};

}  // namespace

TEST_F(DeviceSelectionTest, StartsAsThermoBoxSerialOne)
{
    EXPECT_THAT(Entries(IDC_TYPE), ElementsAre("Thermo-Box", "Relay-Box"));
    EXPECT_EQ(m_pHost->ComboGetCurSel(IDC_TYPE), 0);
    EXPECT_EQ(Entries(IDC_SERIAL), SerialTexts(1));
    EXPECT_EQ(m_pHost->ComboGetCurSel(IDC_SERIAL), 0);
    EXPECT_EQ(Text(IDC_SERIAL), " 1");
    ExpectThermoControls(true);
    EXPECT_THAT(HighlightedButtons(), IsEmpty());
}

TEST_F(DeviceSelectionTest, ModelChangeKeepsTheSerialPosition)
{
    m_pHost->ChooseEntry(IDC_SERIAL, 4);
    EXPECT_EQ(m_dlg.Serial(), 5);
    m_pHost->ChooseEntry(IDC_TYPE, TYPE_INDEX_RELAY);
    EXPECT_EQ(m_dlg.DeviceType(), TYPE_RELAY);
    EXPECT_EQ(m_dlg.Serial(), 1005);
    EXPECT_EQ(Entries(IDC_SERIAL), SerialTexts(1001));
    EXPECT_EQ(m_pHost->ComboGetCurSel(IDC_SERIAL), 4);
    EXPECT_EQ(Text(IDC_SERIAL), " 1005");
    ExpectThermoControls(false);
    EXPECT_EQ(m_pHost->TimerPeriod(ID_REPORT_TIMER), RELAY_PERIOD_MS);

    m_pHost->ChooseEntry(IDC_SERIAL, 15);
    EXPECT_EQ(m_dlg.Serial(), 1016);
    m_pHost->ChooseEntry(IDC_TYPE, TYPE_INDEX_THERMO);
    EXPECT_EQ(m_dlg.Serial(), 16);
    EXPECT_EQ(Entries(IDC_SERIAL), SerialTexts(1));
    EXPECT_EQ(Text(IDC_SERIAL), " 16");
    ExpectThermoControls(true);
    EXPECT_EQ(m_dlg.Timer(), 0u);
}

TEST_F(DeviceSelectionTest, LatchedStepModeSurvivesTheRelayBox)
{
    m_pHost->Click(IDC_DOWN_FAST);
    m_pHost->ChooseEntry(IDC_TYPE, TYPE_INDEX_RELAY);
    m_pHost->ChooseEntry(IDC_TYPE, TYPE_INDEX_THERMO);
    EXPECT_EQ(m_dlg.StepMode(), STEP_DOWN_FAST);
    EXPECT_THAT(HighlightedButtons(), ElementsAre(IDC_DOWN_FAST));
}

TEST_F(DeviceSelectionTest, HidingKeepsTextEnabledStateAndHighlight)
{
    m_pHost->Click(IDC_UP);
    m_pHost->TypeText(IDC_TEMP, "42");
    m_pHost->ChooseEntry(IDC_TYPE, TYPE_INDEX_RELAY);
    EXPECT_EQ(Text(IDC_TEMP), "42");
    EXPECT_TRUE(Highlighted(IDC_UP));
    EXPECT_FALSE(Enabled(IDC_SEND));
}

TEST_F(DeviceSelectionTest, SelectionChangeWithoutAnEntryKeepsTheDevice)
{
    m_pHost->ChooseEntry(IDC_SERIAL, 6);
    m_pHost->ComboSetCurSel(IDC_SERIAL, CB_ERR);
    m_pHost->Notify(IDC_SERIAL, CBN_SELCHANGE);
    EXPECT_EQ(m_dlg.Serial(), 7);
    m_pHost->ComboSetCurSel(IDC_TYPE, CB_ERR);
    m_pHost->Notify(IDC_TYPE, CBN_SELCHANGE);
    EXPECT_EQ(m_dlg.DeviceType(), TYPE_THERMO);
    EXPECT_EQ(m_dlg.Serial(), 7);
    EXPECT_EQ(m_dlg.Timer(), 0u);
}
