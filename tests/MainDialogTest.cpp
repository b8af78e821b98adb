#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/DialogFixture.h"

using ::testing::ElementsAre;

namespace {

class MainDialogTest : public DialogTest {};

}  // namespace

TEST_F(MainDialogTest, SystemMenuEndsWithTheAboutItem)
{
    const auto& menu = m_pHost->SystemMenu();
    ASSERT_EQ(menu.size(), 2u);
    EXPECT_EQ(menu[0].nFlags, MF_SEPARATOR);
    EXPECT_EQ(menu[1].nFlags, MF_STRING);
    EXPECT_EQ(menu[1].nID, IDM_ABOUTBOX);
    EXPECT_EQ(menu[1].strText, "Inf&o über Mimicbox...");
}

TEST_F(MainDialogTest, AboutItemRunsTheAboutBoxAndChangesNothing)
{
    m_pHost->TypeText(IDC_TEMP, "not read");
    m_pHost->SystemCommand(IDM_ABOUTBOX);
    EXPECT_THAT(m_system.ModalRuns(), ElementsAre(IDD_ABOUTBOX));
    EXPECT_FALSE(m_pHost->Ended());
    EXPECT_EQ(Text(IDC_TEMP), "not read");
    EXPECT_TRUE(m_system.Boxes().empty());
}

TEST_F(MainDialogTest, WindowCarriesTheApplicationIcon)
{
    const HICON hIcon = AfxLoadIcon(IDR_MAINFRAME);
    ASSERT_NE(hIcon, nullptr);
    EXPECT_EQ(m_pHost->Icon(ICON_BIG), hIcon);
    EXPECT_EQ(m_pHost->Icon(ICON_SMALL), hIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(m_dlg.SendMessage(WM_QUERYDRAGICON)), hIcon);
}

TEST_F(MainDialogTest, MinimisedWindowDrawsTheIconCentred)
{
    const FakeDC& normal = m_pHost->Paint();
    EXPECT_TRUE(normal.icons.empty());
    EXPECT_EQ(m_pHost->DefaultPaintCount(), 1);

    m_pHost->SetIconic(true);
    const FakeDC& iconic = m_pHost->Paint();
    ASSERT_EQ(iconic.icons.size(), 1u);
    const RECT client = m_pHost->GetClientRect();
    EXPECT_EQ(iconic.icons[0].x, (client.right - 32 + 1) / 2);
    EXPECT_EQ(iconic.icons[0].y, (client.bottom - 32 + 1) / 2);
    EXPECT_EQ(iconic.nErased, 1);
    EXPECT_EQ(m_pHost->DefaultPaintCount(), 1);
}

TEST_F(MainDialogTest, EnterEndsTheDialogWhenTheFieldsAreValid)
{
    m_pHost->TypeText(IDC_SERVER, "10.0.0.1");
    m_pHost->PressEnter();
    EXPECT_TRUE(m_pHost->Ended());
    EXPECT_EQ(m_pHost->EndCode(), IDOK);
}

TEST_F(MainDialogTest, QuitWithAnInvalidFieldShowsTheMessageAndStaysOpen)
{
    m_pHost->TypeText(IDC_TEMP, "200");
    m_pHost->Click(IDOK);
    EXPECT_FALSE(m_pHost->Ended());
    ASSERT_EQ(m_system.Boxes().size(), 1u);
    EXPECT_EQ(m_pHost->GetFocusID(), IDC_TEMP);
}

TEST_F(MainDialogTest, EscapeAndCloseEndWithoutReadingTheFields)
{
    m_pHost->TypeText(IDC_TEMP, "200");
    m_pHost->PressEscape();
    EXPECT_TRUE(m_pHost->Ended());
    EXPECT_EQ(m_pHost->EndCode(), IDCANCEL);
    EXPECT_TRUE(m_system.Boxes().empty());
}

TEST_F(MainDialogTest, CloseFromTheSystemMenuCancels)
{
    m_pHost->TypeText(IDC_PORT, "bad");
    m_pHost->SystemCommand(SC_CLOSE);
    EXPECT_EQ(m_pHost->EndCode(), IDCANCEL);
    EXPECT_TRUE(m_system.Boxes().empty());
}

TEST_F(MainDialogTest, TabOrderFollowsTheTemplateAndSkipsHiddenAndDisabledControls)
{
    EXPECT_THAT(m_pHost->TabOrder(), ElementsAre(IDOK, IDC_DOWN, IDC_UP_FAST, IDC_UP, IDC_DOWN_FAST, IDC_TEMP,
                                                 IDC_SERVER, IDC_PORT, IDC_CONNECT, IDC_TYPE, IDC_SERIAL));
}

TEST_F(MainDialogTest, RelayBoxTabOrderReachesTheIndicatorsAndSkipsTheThermoControls)
{
    m_pHost->ChooseEntry(IDC_TYPE, mimicbox::TYPE_INDEX_RELAY);
    EXPECT_THAT(m_pHost->TabOrder(),
                ElementsAre(IDOK, IDC_SERVER, IDC_PORT, IDC_CONNECT, IDC_TYPE, IDC_SERIAL, IDC_LED_OFF, IDC_LED_ON));
}
