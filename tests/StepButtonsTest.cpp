#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/Gdi.h"
#include "platform/fake/FakeDC.h"
#include "tests/DialogFixture.h"

using namespace mimicbox;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);

class StepButtonsTest : public DialogTest {
protected:
    FakeDC Draw(int nID, UINT nAction = ODA_DRAWENTIRE)
    {
        FakeDC dc;
        m_pHost->DrawItem(nID, nAction, dc);
        return dc;
    }
    // Whether the indicator was drawn filled with its own colour.
    bool Lit(int nID)
    {
        const FakeDC dc = Draw(nID);
        return dc.ellipses.size() == 1 && dc.ellipses[0].bHasBrush;
    }
};

}  // namespace

TEST_F(StepButtonsTest, StepButtonsLatchOneModeAtATime)
{
    struct Row {
        int nButton;
        int nMode;
        std::vector<int> highlighted;
    };
    const Row rows[] = {
        {IDC_UP, STEP_UP, {IDC_UP}},
        {IDC_UP, STEP_NONE, {}},
        {IDC_UP, STEP_UP, {IDC_UP}},
        {IDC_DOWN_FAST, STEP_DOWN_FAST, {IDC_DOWN_FAST}},
        {IDC_DOWN, STEP_DOWN, {IDC_DOWN}},
        {IDC_UP_FAST, STEP_UP_FAST, {IDC_UP_FAST}},
    };
    for (const Row& row : rows) {
        m_pHost->Click(row.nButton);
        EXPECT_EQ(m_dlg.StepMode(), row.nMode) << row.nButton;
        EXPECT_EQ(HighlightedButtons(), row.highlighted) << row.nButton;
    }
}

TEST_F(StepButtonsTest, SpaceOnTheFocusedButtonToggles)
{
    m_pHost->SetFocusItem(IDC_DOWN, false);
    ASSERT_TRUE(m_pHost->PressSpace());
    EXPECT_EQ(m_dlg.StepMode(), STEP_DOWN);
}

TEST_F(StepButtonsTest, ClickWithoutTheFocusLeavesTheModeButWritesBack)
{
    m_pHost->Click(IDC_UP);
    m_pHost->TypeText(IDC_TEMP, "020.010");
    m_pHost->Notify(IDC_DOWN, BN_CLICKED);
    EXPECT_EQ(m_dlg.StepMode(), STEP_UP);
    EXPECT_THAT(HighlightedButtons(), ElementsAre(IDC_UP));
    EXPECT_EQ(Text(IDC_TEMP), "20.01");
}

TEST_F(StepButtonsTest, ClickWithAnInvalidFieldKeepsTheModeAndRestoresTheField)
{
    m_pHost->TypeText(IDC_TEMP, "12.5");
    m_pHost->Click(IDC_UP);
    m_pHost->TypeText(IDC_TEMP, "hot");
    m_pHost->Click(IDC_DOWN);
    ASSERT_EQ(m_system.Boxes().size(), 1u);
    EXPECT_EQ(m_dlg.StepMode(), STEP_UP);
    EXPECT_EQ(Text(IDC_TEMP), "12.5");
    EXPECT_THAT(HighlightedButtons(), ElementsAre(IDC_UP));
}

TEST_F(StepButtonsTest, IndicatorsShowTheSwitchState)
{
    m_pHost->ChooseEntry(IDC_TYPE, TYPE_INDEX_RELAY);
    EXPECT_TRUE(Lit(IDC_LED_OFF));
    EXPECT_FALSE(Lit(IDC_LED_ON));
    EXPECT_EQ(Draw(IDC_LED_OFF).ellipses[0].color, kRed);

    m_pHost->Click(IDC_LED_ON);
    EXPECT_EQ(m_dlg.SwitchState(), 1);
    EXPECT_EQ(m_pHost->InvalidateCount(), 1);
    EXPECT_FALSE(Lit(IDC_LED_OFF));
    EXPECT_TRUE(Lit(IDC_LED_ON));
    EXPECT_EQ(Draw(IDC_LED_ON).ellipses[0].color, kGreen);

    m_pHost->Click(IDC_LED_ON);
    EXPECT_EQ(m_dlg.SwitchState(), 1);
    m_pHost->Click(IDC_LED_OFF);
    EXPECT_EQ(m_dlg.SwitchState(), 0);
    EXPECT_TRUE(Lit(IDC_LED_OFF));
}

TEST_F(StepButtonsTest, IndicatorIsAnEllipseInItsRectangleAndNothingElse)
{
    m_pHost->ChooseEntry(IDC_TYPE, TYPE_INDEX_RELAY);
    const FakeDC dc = Draw(IDC_LED_OFF);
    ASSERT_EQ(dc.ellipses.size(), 1u);
    const ControlTemplate& t = *m_pHost->Control(IDC_LED_OFF)->pTemplate;
    EXPECT_EQ(dc.ellipses[0].rect.right, t.cx);
    EXPECT_EQ(dc.ellipses[0].rect.bottom, t.cy);
    EXPECT_TRUE(dc.icons.empty());
    EXPECT_EQ(dc.nErased, 0);
}

TEST_F(StepButtonsTest, FocusAndSelectChangesDrawNothing)
{
    m_pHost->ChooseEntry(IDC_TYPE, TYPE_INDEX_RELAY);
    for (UINT nAction : {ODA_FOCUS, ODA_SELECT}) {
        EXPECT_TRUE(Draw(IDC_LED_OFF, nAction).ellipses.empty());
        EXPECT_TRUE(Draw(IDC_LED_ON, nAction).ellipses.empty());
    }
}

TEST_F(StepButtonsTest, DrawingReleasesItsBrushes)
{
    const int nBefore = CBrush::LiveCount();
    Draw(IDC_LED_OFF);
    Draw(IDC_LED_ON);
    Draw(IDC_CONNECT);
    EXPECT_EQ(CBrush::LiveCount(), nBefore);
}

TEST_F(StepButtonsTest, IndicatorClickWritesTheFieldsWithoutReadingThem)
{
    m_pHost->ChooseEntry(IDC_TYPE, TYPE_INDEX_RELAY);
    m_pHost->TypeText(IDC_PORT, "1234");
    m_pHost->Click(IDC_LED_ON);
    EXPECT_EQ(Text(IDC_PORT), "54741");
    EXPECT_TRUE(m_system.Boxes().empty());
}
