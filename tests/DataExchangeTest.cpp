#include <gtest/gtest.h>

#include "tests/DialogFixture.h"

namespace {

class DataExchangeTest : public DialogTest {};

}  // namespace

TEST_F(DataExchangeTest, FreshDialogShowsTheDefaults)
{
    EXPECT_EQ(Text(IDC_SERVER), "127.0.0.1");
    EXPECT_EQ(Text(IDC_PORT), "54741");
    EXPECT_EQ(Text(IDC_TEMP), "0");
    EXPECT_FALSE(Enabled(IDC_SEND));
    EXPECT_EQ(m_dlg.Timer(), 0u);
    EXPECT_EQ(m_dlg.Socket(), nullptr);
}

TEST_F(DataExchangeTest, FailingFieldTakesTheFocusAndTheFieldsAfterItAreNotRead)
{
    m_pHost->TypeText(IDC_SERVER, "example.test");
    m_pHost->TypeText(IDC_TEMP, "abc");
    m_pHost->TypeText(IDC_PORT, "99");
    EXPECT_FALSE(m_dlg.UpdateData(TRUE));
    ASSERT_EQ(m_system.Boxes().size(), 1u);
    EXPECT_EQ(m_system.Boxes()[0].strText, "Bitte geben Sie eine Zahl ein.");
    EXPECT_EQ(m_system.Boxes()[0].strCaption, "Mimicbox");
    EXPECT_EQ(m_pHost->GetFocusID(), IDC_TEMP);
    // Writing back shows what was read: the server before the failure, the old port after it.
    m_dlg.UpdateData(FALSE);
    EXPECT_EQ(Text(IDC_SERVER), "example.test");
    EXPECT_EQ(Text(IDC_TEMP), "0");
    EXPECT_EQ(Text(IDC_PORT), "54741");
}

TEST_F(DataExchangeTest, TemperatureLimitsAreInclusive)
{
    struct Row {
        const char* pszText;
        bool bValid;
    };
    const Row rows[] = {{"-30", true}, {"150", true}, {"-30.01", false}, {"150.01", false}, {"20.5", true}};
    for (const Row& row : rows) {
        m_pHost->TypeText(IDC_TEMP, row.pszText);
        EXPECT_EQ(m_dlg.UpdateData(TRUE) != FALSE, row.bValid) << row.pszText;
    }
}

TEST_F(DataExchangeTest, OutOfRangeTemperatureIsKeptButRefused)
{
    m_pHost->TypeText(IDC_TEMP, "200");
    EXPECT_FALSE(m_dlg.UpdateData(TRUE));
    EXPECT_EQ(m_dlg.Temperature(), 200.0f);
}

TEST_F(DataExchangeTest, PortMustBeAnUnsignedNumber)
{
    for (const char* pszText : {"-1", "port", "4294967296"}) {
        m_pHost->TypeText(IDC_PORT, pszText);
        EXPECT_FALSE(m_dlg.UpdateData(TRUE)) << pszText;
        EXPECT_EQ(m_system.Boxes().back().strText, "Bitte geben Sie eine positive ganze Zahl ein.");
        EXPECT_EQ(m_pHost->GetFocusID(), IDC_PORT);
    }
    m_pHost->TypeText(IDC_PORT, " 8080 ");
    EXPECT_TRUE(m_dlg.UpdateData(TRUE));
}

TEST_F(DataExchangeTest, WritingBackWritesOnlyTheFieldsWhoseTextChanges)
{
    m_pHost->TypeText(IDC_TEMP, "05");
    ASSERT_TRUE(m_dlg.UpdateData(TRUE));
    const auto writes = [&](int nID) { return m_pHost->Control(nID)->nTextWrites; };
    const int nServer = writes(IDC_SERVER);
    const int nPort = writes(IDC_PORT);
    const int nTemp = writes(IDC_TEMP);
    m_dlg.UpdateData(FALSE);
    m_dlg.UpdateData(FALSE);
    EXPECT_EQ(writes(IDC_SERVER), nServer);
    EXPECT_EQ(writes(IDC_PORT), nPort);
    // "05" reads as 5 and is written once in its own form, then left alone.
    EXPECT_EQ(writes(IDC_TEMP), nTemp + 1);
    EXPECT_EQ(Text(IDC_TEMP), "5");
}
