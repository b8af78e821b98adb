#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/DialogFixture.h"

using namespace mimicbox;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class ReportCycleTest : public DialogTest {
protected:
    void StartSending()
    {
        ConnectToServer();
        ASSERT_TRUE(m_pHost->Click(IDC_SEND));
    }
};

}  // namespace

TEST_F(ReportCycleTest, ThousandTicksOfModeOneFromTwentyEndAtExactlyThirty)
{
    m_pHost->TypeText(IDC_TEMP, "20");
    StartSending();
    m_pHost->Click(IDC_UP);
    ASSERT_EQ(m_dlg.StepMode(), STEP_UP);
    AdvanceMs(1000 * 1500);
    EXPECT_EQ(Text(IDC_TEMP), "30");
    EXPECT_EQ(m_dlg.Temperature(), 30.0f);
}

TEST_F(ReportCycleTest, SendStartsTheCycleAtFifteenHundredMsAndReleasesTheStepMode)
{
    m_pHost->Click(IDC_UP_FAST);
    EXPECT_THAT(HighlightedButtons(), ElementsAre(IDC_UP_FAST));
    StartSending();
    EXPECT_EQ(m_dlg.Timer(), ID_REPORT_TIMER);
    EXPECT_EQ(m_pHost->TimerPeriod(ID_REPORT_TIMER), THERMO_PERIOD_MS);
    EXPECT_EQ(m_dlg.StepMode(), STEP_NONE);
    EXPECT_THAT(HighlightedButtons(), ElementsAre(IDC_SEND));

    // The first tick comes one period after the start.
    m_pHost->Click(IDC_UP);
    AdvanceMs(1499);
    EXPECT_EQ(Text(IDC_TEMP), "0");
    AdvanceMs(1);
    EXPECT_EQ(Text(IDC_TEMP), "0.01");

    m_pHost->Click(IDC_SEND);
    EXPECT_EQ(m_dlg.Timer(), 0u);
    EXPECT_EQ(m_dlg.StepMode(), STEP_NONE);
    EXPECT_THAT(HighlightedButtons(), IsEmpty());
    AdvanceMs(3000);
    EXPECT_EQ(Text(IDC_TEMP), "0.01");
}

TEST_F(ReportCycleTest, TickClampsAtTheLimits)
{
    m_pHost->TypeText(IDC_TEMP, "149.95");
    StartSending();
    m_pHost->Click(IDC_UP_FAST);
    AdvanceMs(1500);
    EXPECT_EQ(Text(IDC_TEMP), "150");
    AdvanceMs(1500);
    EXPECT_EQ(Text(IDC_TEMP), "150");

    m_pHost->TypeText(IDC_TEMP, "-29.995");
    m_pHost->Click(IDC_DOWN);
    AdvanceMs(1500);
    EXPECT_EQ(Text(IDC_TEMP), "-30");
}

TEST_F(ReportCycleTest, TickTakesUpATemperatureTypedMeanwhile)
{
    StartSending();
    m_pHost->Click(IDC_UP);
    m_pHost->TypeText(IDC_TEMP, "25");
    AdvanceMs(1500);
    EXPECT_EQ(Text(IDC_TEMP), "25.01");
}

TEST_F(ReportCycleTest, TickWithAnInvalidFieldStopsTheCycleAndKeepsTheStepMode)
{
    StartSending();
    m_pHost->Click(IDC_UP_FAST);
    m_pHost->TypeText(IDC_TEMP, "200");
    AdvanceMs(1500);

    ASSERT_EQ(m_system.Boxes().size(), 1u);
    EXPECT_EQ(m_system.Boxes()[0].strText, "Bitte geben Sie eine Zahl zwischen -30 und 150 ein.");
    EXPECT_EQ(m_dlg.Timer(), 0u);
    EXPECT_FALSE(m_pHost->HasTimer(ID_REPORT_TIMER));
    EXPECT_EQ(m_dlg.StepMode(), STEP_UP_FAST);
    EXPECT_THAT(HighlightedButtons(), ElementsAre(IDC_UP_FAST));
    EXPECT_EQ(m_pHost->GetFocusID(), IDC_TEMP);
    // No write-back: the field keeps the text the user typed.
    EXPECT_EQ(Text(IDC_TEMP), "200");
}

TEST_F(ReportCycleTest, SendClickWithoutTheFocusChangesNothing)
{
    m_pHost->Click(IDC_UP);
    m_pHost->TypeText(IDC_PORT, "123");
    m_pHost->Notify(IDC_SEND, BN_CLICKED);
    EXPECT_EQ(m_dlg.Timer(), 0u);
    EXPECT_EQ(m_dlg.StepMode(), STEP_UP);
    EXPECT_THAT(HighlightedButtons(), ElementsAre(IDC_UP));
    EXPECT_EQ(Text(IDC_PORT), "123");
}

TEST_F(ReportCycleTest, SendClickWithAnInvalidFieldDoesNotStart)
{
    ConnectToServer();
    m_pHost->TypeText(IDC_TEMP, "warm");
    m_pHost->Click(IDC_SEND);
    EXPECT_EQ(m_system.Boxes().size(), 1u);
    EXPECT_EQ(m_dlg.Timer(), 0u);
    EXPECT_EQ(m_pHost->GetFocusID(), IDC_TEMP);
}

TEST_F(ReportCycleTest, TickArrivingWhileAnEarlierTicksBoxIsOpenIsHandled)
{
    StartSending();
    m_pHost->TypeText(IDC_TEMP, "abc");
    int nBoxes = 0;
    m_system.onMessageBox = [&](const FakeMessageBox&) {
        // The first box stays open for two more periods; the nested ticks find the same bad field.
        if (++nBoxes == 1)
            AdvanceMs(3000);
        return IDOK;
    };
    AdvanceMs(1500);
    EXPECT_EQ(nBoxes, 2);
    EXPECT_EQ(m_system.OpenBoxCount(), 0);
    EXPECT_EQ(m_dlg.Timer(), 0u);
    EXPECT_THAT(HighlightedButtons(), IsEmpty());
}

TEST_F(ReportCycleTest, RelayBoxCycleRunsWithoutConnectionAndLeavesTheTemperature)
{
    m_pHost->Click(IDC_UP);
    m_pHost->TypeText(IDC_TEMP, "21.5");
    m_pHost->ChooseEntry(IDC_TYPE, TYPE_INDEX_RELAY);
    EXPECT_EQ(m_pHost->TimerPeriod(ID_REPORT_TIMER), RELAY_PERIOD_MS);
    AdvanceMs(5000);
    EXPECT_EQ(Text(IDC_TEMP), "21.5");
    EXPECT_EQ(m_dlg.StepMode(), STEP_UP);
    EXPECT_TRUE(m_system.Boxes().empty());
}

TEST_F(ReportCycleTest, HiddenInvalidTemperatureStopsTheRelayBoxCycle)
{
    m_pHost->TypeText(IDC_TEMP, "500");
    m_pHost->ChooseEntry(IDC_TYPE, TYPE_INDEX_RELAY);
    ASSERT_FALSE(Visible(IDC_TEMP));
    AdvanceMs(500);
    EXPECT_EQ(m_system.Boxes().size(), 1u);
    EXPECT_EQ(m_dlg.Timer(), 0u);
}

TEST_F(ReportCycleTest, ModelChangeStopsTheThermoCycleAndClearsSend)
{
    StartSending();
    m_pHost->Click(IDC_DOWN);
    m_pHost->ChooseEntry(IDC_TYPE, TYPE_INDEX_RELAY);
    EXPECT_EQ(m_pHost->TimerPeriod(ID_REPORT_TIMER), RELAY_PERIOD_MS);
    m_pHost->ChooseEntry(IDC_TYPE, TYPE_INDEX_THERMO);
    EXPECT_EQ(m_dlg.Timer(), 0u);
    EXPECT_THAT(HighlightedButtons(), ElementsAre(IDC_DOWN));
}

TEST_F(ReportCycleTest, ConnectWithAnInvalidFieldStopsTheCycleAndDisablesSend)
{
    StartSending();
    m_pHost->TypeText(IDC_TEMP, "-31");
    m_pHost->Click(IDC_CONNECT);
    EXPECT_EQ(m_system.Boxes().size(), 1u);
    EXPECT_EQ(m_dlg.Timer(), 0u);
    EXPECT_FALSE(Highlighted(IDC_SEND));
    EXPECT_FALSE(Enabled(IDC_SEND));
    // The connection itself stays.
    EXPECT_NE(m_dlg.Socket(), nullptr);
}

TEST_F(ReportCycleTest, EachTickSendsOneRecordWithItsNul)
{
    m_system.SetCalendarSeconds(1765000000);
    m_pHost->TypeText(IDC_TEMP, "21.49");
    StartSending();
    m_pHost->Click(IDC_UP);
    AdvanceMs(1500);
    AdvanceMs(1500);
    const std::string first = "TolvarkControl: 16, 1, 4, 0, 0, 1, 10;1765000001, 21.500000;";
    const std::string second = "TolvarkControl: 16, 1, 4, 0, 0, 1, 10;1765000003, 21.510000;";
    const std::string expected = first + '\0' + second + '\0';
    EXPECT_EQ(m_server.Read(expected.size()), expected);
}
