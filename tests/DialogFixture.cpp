#include "tests/DialogFixture.h"

#include "ui/res/Resources.h"

ResourcesRegistered::ResourcesRegistered() { AfxSetResources(&MimicboxResources()); }

DialogTest::DialogTest() : m_pHost(m_system.Open(m_dlg)) {}

void DialogTest::ConnectToServer()
{
    m_pHost->TypeText(IDC_PORT, std::to_string(m_server.Port()));
    ASSERT_TRUE(m_pHost->Click(IDC_CONNECT));
    ASSERT_NE(m_dlg.Socket(), nullptr);
    ASSERT_TRUE(m_server.Accept());
}

std::vector<int> DialogTest::HighlightedButtons() const
{
    std::vector<int> ids;
    for (int nID : {IDC_DOWN, IDC_DOWN_FAST, IDC_UP, IDC_UP_FAST, IDC_SEND})
        if (Highlighted(nID))
            ids.push_back(nID);
    return ids;
}

std::vector<std::string> DialogTest::Entries(int nID) const
{
    std::vector<std::string> entries;
    for (int i = 0; i < m_pHost->ComboGetCount(nID); ++i)
        entries.push_back(m_pHost->ComboGetText(nID, i));
    return entries;
}
