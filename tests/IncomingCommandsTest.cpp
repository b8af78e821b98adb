#include <gtest/gtest.h>

#include <string>

#include "tests/DialogFixture.h"

using namespace mimicbox;

namespace {

const std::string kToggle = std::string("TolvarkControl: 8, 1001, 4, 0, 0, 1, 11;") + '\0';

class IncomingCommandsTest : public DialogTest {
protected:
    void ChooseRelayBox() { m_pHost->ChooseEntry(IDC_TYPE, TYPE_INDEX_RELAY); }

    // Hands a chunk over as the socket does: its bytes followed by one NUL.
    void Receive(const std::string& chunk)
    {
        std::string buffer = chunk;
        buffer += '\0';
        m_dlg.OnReceiveData(buffer.data(), static_cast<int>(chunk.size()));
    }
};

}  // namespace

TEST_F(IncomingCommandsTest, ChunksFlipTheRelayBoxSwitchOncePerToggle)
{
    struct Row {
        const char* pszName;
        std::string chunk;
        int nFlips;
    };
    const std::string bad = std::string("Tolvark: 8;") + '\0';
    const Row rows[] = {
        {"one toggle", kToggle, 1},
        {"two toggles", kToggle + kToggle, 2},
        {"other device named", std::string("TolvarkControl: 16, 5, 0, 0, 0, 0, 11;") + '\0', 1},
        {"loose spacing", std::string("TolvarkControl:8,1001,4,0,0,1,11") + '\0', 1},
        {"no trailing NUL", "TolvarkControl: 8, 1001, 4, 0, 0, 1, 11;", 1},
        {"empty record first", std::string(1, '\0') + kToggle, 0},
        {"malformed first", bad + kToggle, 0},
        {"malformed between", kToggle + bad + kToggle, 1},
        {"int value with bad body", std::string("TolvarkControl: 8, 1001, 4, 0, 0, 1, 13;abc;") + '\0' + kToggle, 1},
        {"text and report codes", std::string("TolvarkControl: 8, 1, 4, 0, 0, 1, 14;hi;") + '\0' +
                                      "TolvarkControl: 8, 1, 4, 0, 0, 1, 10;1, 1, 0;" + '\0' + kToggle, 1},
        {"high bytes", std::string("\xff\xfe\x80") + '\0' + kToggle, 0},
        {"out of range code", std::string("TolvarkControl: 8, 1001, 4, 0, 0, 1, 4294967307;") + '\0' + kToggle, 0},
    };
    ChooseRelayBox();
    for (const Row& row : rows) {
        const int nBefore = m_dlg.SwitchState();
        const int nInvalidated = m_pHost->InvalidateCount();
        Receive(row.chunk);
        EXPECT_EQ(m_dlg.SwitchState(), (nBefore + row.nFlips) % 2) << row.pszName;
        EXPECT_EQ(m_pHost->InvalidateCount() - nInvalidated, row.nFlips) << row.pszName;
    }
}

TEST_F(IncomingCommandsTest, ThermoBoxIgnoresToggles)
{
    Receive(kToggle);
    EXPECT_EQ(m_dlg.SwitchState(), 0);
    EXPECT_EQ(m_pHost->InvalidateCount(), 0);
}

TEST_F(IncomingCommandsTest, ToggleRewritesEveryFieldFromTheMembers)
{
    ChooseRelayBox();
    m_pHost->TypeText(IDC_SERVER, "typed but not read");
    Receive(kToggle);
    EXPECT_EQ(Text(IDC_SERVER), "127.0.0.1");
}

TEST_F(IncomingCommandsTest, ToggleFromTheServerGoesOutWithTheNextReport)
{
    m_system.SetCalendarSeconds(1765000000);
    ChooseRelayBox();
    m_pHost->ChooseEntry(IDC_SERIAL, 4);
    ConnectToServer();
    ASSERT_TRUE(m_server.Write(kToggle));
    ASSERT_TRUE(m_system.SocketLoop().RunUntil([&] { return m_dlg.SwitchState() == 1; }));
    AdvanceMs(500);
    const std::string expected = std::string("TolvarkControl: 8, 1005, 4, 0, 0, 1, 10;1765000000, 1, 0;") + '\0';
    EXPECT_EQ(m_server.Read(expected.size()), expected);
}
