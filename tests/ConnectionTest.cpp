#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "link/ClntSock.h"
#include "tests/DialogFixture.h"

using namespace mimicbox;
using namespace std::chrono_literals;

namespace {

const std::string kToggle = std::string("TolvarkControl: 8, 1001, 4, 0, 0, 1, 11;") + '\0';

class ConnectionTest : public DialogTest {
protected:
    void ChooseRelayBox() { m_pHost->ChooseEntry(IDC_TYPE, TYPE_INDEX_RELAY); }
    FakeSocketLoop& Loop() { return m_system.SocketLoop(); }
    std::string LastBox() const { return m_system.Boxes().empty() ? "" : m_system.Boxes().back().strText; }
};

std::string Error(const char* pszFormat, int nError)
{
    char szText[200];
    std::snprintf(szText, sizeof szText, pszFormat, nError);
    return szText;
}

}  // namespace

TEST_F(ConnectionTest, RelayBoxReportsEveryFiveHundredMsOnceConnected)
{
    m_system.SetCalendarSeconds(1765000000);
    ChooseRelayBox();
    ConnectToServer();
    EXPECT_TRUE(Enabled(IDC_SEND));
    EXPECT_EQ(m_pHost->TimerPeriod(ID_REPORT_TIMER), RELAY_PERIOD_MS);
    m_pHost->Click(IDC_LED_ON);
    AdvanceMs(1000);
    const std::string report = "TolvarkControl: 8, 1001, 4, 0, 0, 1, 10;1765000000, 1, 0;";
    const std::string later = "TolvarkControl: 8, 1001, 4, 0, 0, 1, 10;1765000001, 1, 0;";
    const std::string expected = report + '\0' + later + '\0';
    EXPECT_EQ(m_server.Read(expected.size()), expected);
}

TEST_F(ConnectionTest, RefusedConnectReportsThroughOneBox)
{
    ChooseRelayBox();
    m_server.StopListening();
    m_pHost->TypeText(IDC_PORT, std::to_string(m_server.Port()));
    m_pHost->Click(IDC_CONNECT);
    ASSERT_EQ(m_system.Boxes().size(), 1u);
    EXPECT_EQ(m_system.Boxes()[0].strText, Error("SendClientData: Failed to connect: %d.\n", ECONNREFUSED));
    EXPECT_EQ(m_system.Boxes()[0].strCaption, "Error");
    EXPECT_EQ(m_dlg.Socket(), nullptr);
    EXPECT_FALSE(Enabled(IDC_SEND));
    EXPECT_EQ(m_dlg.Timer(), 0u);
}

TEST_F(ConnectionTest, PortsOutsideTheTcpRangeFailToConnect)
{
    for (const char* pszPort : {"0", "65536", "4294967295"}) {
        m_pHost->TypeText(IDC_PORT, pszPort);
        m_pHost->Click(IDC_CONNECT);
        EXPECT_EQ(LastBox(), Error("SendClientData: Failed to connect: %d.\n", EINVAL)) << pszPort;
        EXPECT_EQ(m_dlg.Socket(), nullptr);
    }
}

TEST_F(ConnectionTest, HostNamesAreResolved)
{
    m_pHost->TypeText(IDC_SERVER, "localhost");
    ConnectToServer();
    EXPECT_TRUE(m_system.Boxes().empty());
}

TEST_F(ConnectionTest, UnknownHostFailsThroughTheConnectBox)
{
    m_pHost->TypeText(IDC_SERVER, "no-such-host.invalid");
    m_pHost->Click(IDC_CONNECT);
    ASSERT_EQ(m_system.Boxes().size(), 1u);
    EXPECT_THAT(m_system.Boxes()[0].strText, ::testing::StartsWith("SendClientData: Failed to connect: "));
    EXPECT_EQ(m_dlg.Socket(), nullptr);
}

TEST_F(ConnectionTest, ConnectAgainWhileConnectedKeepsTheConnection)
{
    ChooseRelayBox();
    ConnectToServer();
    const CClntSock* pFirst = m_dlg.Socket();
    m_pHost->Click(IDC_CONNECT);
    EXPECT_EQ(m_dlg.Socket(), pFirst);
    EXPECT_EQ(m_pHost->TimerPeriod(ID_REPORT_TIMER), RELAY_PERIOD_MS);
    EXPECT_TRUE(Enabled(IDC_SEND));
    EXPECT_FALSE(m_server.Accept(200ms));
}

TEST_F(ConnectionTest, ServerCloseReleasesTheSocketAndConnectOpensANewOne)
{
    ChooseRelayBox();
    ConnectToServer();
    m_server.CloseClient();
    ASSERT_TRUE(Loop().RunUntil([&] { return m_dlg.Socket() == nullptr; }));
    EXPECT_TRUE(m_system.Boxes().empty());
    EXPECT_TRUE(Enabled(IDC_SEND));
    AdvanceMs(2000);
    EXPECT_NE(m_dlg.Timer(), 0u);
    EXPECT_TRUE(m_system.Boxes().empty());
    ConnectToServer();
    AdvanceMs(500);
    EXPECT_FALSE(m_server.Read().empty());
}

TEST_F(ConnectionTest, ServerResetReleasesTheSocketSilently)
{
    ChooseRelayBox();
    ConnectToServer();
    m_server.CloseClient(true);
    ASSERT_TRUE(Loop().RunUntil([&] { return m_dlg.Socket() == nullptr; }));
    EXPECT_TRUE(m_system.Boxes().empty());
}

TEST_F(ConnectionTest, ZeroByteReadFirstLeavesAClosedSocketUntilTheNextSendFails)
{
    ChooseRelayBox();
    ConnectToServer();
    Loop().bPeekForClose = false;
    m_server.CloseClient();
    ASSERT_TRUE(Loop().RunUntil([&] { return m_dlg.Socket() && !m_dlg.Socket()->IsOpen(); }));
    ASSERT_NE(m_dlg.Socket(), nullptr);

    // Closed but held: Connect does not reconnect.
    m_pHost->Click(IDC_CONNECT);
    EXPECT_FALSE(m_server.Accept(200ms));
    AdvanceMs(500);
    EXPECT_EQ(LastBox(), Error("SendClientData: Failed to send on client socket: %d\n", EBADF));
    EXPECT_EQ(m_dlg.Socket(), nullptr);
    EXPECT_NE(m_dlg.Timer(), 0u);
    ConnectToServer();
}

TEST_F(ConnectionTest, SendToAServerThatHasGoneAwayFailsWithoutEndingTheProcess)
{
    ChooseRelayBox();
    ConnectToServer();
    m_server.CloseClient(true);
    // Without the loop running, the reset is found by the sends themselves.
    for (int i = 0; i < 4 && m_dlg.Socket(); ++i)
        AdvanceMs(500);
    EXPECT_EQ(m_dlg.Socket(), nullptr);
    ASSERT_EQ(m_system.Boxes().size(), 1u);
    EXPECT_THAT(m_system.Boxes()[0].strText, ::testing::StartsWith("SendClientData: Failed to send on client socket: "));
}

TEST_F(ConnectionTest, StackedSendFailuresReleaseTheSocketOnce)
{
    ChooseRelayBox();
    ConnectToServer();
    Loop().bPeekForClose = false;
    m_server.CloseClient();
    ASSERT_TRUE(Loop().RunUntil([&] { return m_dlg.Socket() && !m_dlg.Socket()->IsOpen(); }));
    int nDepth = 0;
    m_system.onMessageBox = [&](const FakeMessageBox&) {
        // The next tick arrives while each of the first two boxes is open.
        if (++nDepth <= 2)
            AdvanceMs(500);
        return IDOK;
    };
    AdvanceMs(500);
    EXPECT_EQ(m_system.Boxes().size(), 3u);
    EXPECT_EQ(m_dlg.Socket(), nullptr);
    AdvanceMs(1000);
    EXPECT_EQ(m_system.Boxes().size(), 3u);
}

TEST_F(ConnectionTest, ConnectClickWhileTheThermoCycleRunsStopsItForGood)
{
    ConnectToServer();
    ASSERT_TRUE(m_pHost->Click(IDC_SEND));
    ASSERT_NE(m_dlg.Timer(), 0u);
    ASSERT_TRUE(Highlighted(IDC_SEND));
    m_pHost->Click(IDC_CONNECT);
    EXPECT_EQ(m_dlg.Timer(), 0u);
    EXPECT_FALSE(Highlighted(IDC_SEND));
    EXPECT_TRUE(Enabled(IDC_SEND));
    AdvanceMs(6000);
    EXPECT_EQ(m_dlg.Timer(), 0u);
    EXPECT_EQ(m_server.Read(1, 100ms), "");
}

TEST_F(ConnectionTest, CloseNotificationDuringTheReceiveErrorBoxLeavesNothingToTouch)
{
    ChooseRelayBox();
    ConnectToServer();
    Loop().bPeekForClose = false;
    m_server.CloseClient(true);
    m_system.onMessageBox = [&](const FakeMessageBox&) {
        if (m_dlg.Socket())
            m_dlg.Socket()->OnClose(0);
        return IDOK;
    };
    ASSERT_TRUE(Loop().RunUntil([&] { return !m_system.Boxes().empty(); }));
    EXPECT_EQ(LastBox(), Error("CClntSock::OnReceive: Error number is %d\n", ECONNRESET));
    EXPECT_EQ(m_dlg.Socket(), nullptr);
    EXPECT_NE(m_dlg.Timer(), 0u);
    EXPECT_TRUE(Enabled(IDC_SEND));
    AdvanceMs(1000);
    EXPECT_EQ(m_system.Boxes().size(), 1u);
}

TEST_F(ConnectionTest, CloseNotificationDuringTheSendFailureBoxReleasesTheSocketOnce)
{
    ChooseRelayBox();
    ConnectToServer();
    Loop().bPeekForClose = false;
    m_server.CloseClient();
    ASSERT_TRUE(Loop().RunUntil([&] { return m_dlg.Socket() && !m_dlg.Socket()->IsOpen(); }));
    m_system.onMessageBox = [&](const FakeMessageBox&) {
        if (m_dlg.Socket())
            m_dlg.Socket()->OnClose(0);
        return IDOK;
    };
    AdvanceMs(500);
    ASSERT_EQ(m_system.Boxes().size(), 1u);
    EXPECT_EQ(LastBox(), Error("SendClientData: Failed to send on client socket: %d\n", EBADF));
    EXPECT_EQ(m_dlg.Socket(), nullptr);
    EXPECT_NE(m_dlg.Timer(), 0u);
    EXPECT_TRUE(Enabled(IDC_SEND));
    ConnectToServer();
}

TEST_F(ConnectionTest, ReceiveErrorKeepsTheSocketAndChangesNothingElse)
{
    ChooseRelayBox();
    ConnectToServer();
    const CClntSock* pHeld = m_dlg.Socket();
    Loop().bPeekForClose = false;
    m_server.CloseClient(true);
    ASSERT_TRUE(Loop().RunUntil([&] { return !m_system.Boxes().empty(); }));
    EXPECT_EQ(LastBox(), Error("CClntSock::OnReceive: Error number is %d\n", ECONNRESET));
    EXPECT_EQ(m_dlg.Socket(), pHeld);
    EXPECT_TRUE(m_dlg.Socket()->IsOpen());
    EXPECT_EQ(m_pHost->TimerPeriod(ID_REPORT_TIMER), RELAY_PERIOD_MS);
    EXPECT_EQ(m_dlg.SwitchState(), 0);
    EXPECT_TRUE(Enabled(IDC_SEND));
    EXPECT_EQ(m_pHost->InvalidateCount(), 0);
}

TEST_F(ConnectionTest, FiveThousandBytesArriveInReadsOfAtMost4095)
{
    ChooseRelayBox();
    ConnectToServer();
    // A toggle, filler up to the 4095th byte, then a second toggle: only reads that end at byte 4095
    // apply both toggles, since the filler makes the rest of a longer read unreadable.
    std::string bytes = kToggle;
    bytes.append(4095 - bytes.size(), 'x');
    bytes += kToggle;
    bytes.append(5000 - bytes.size(), 'y');
    ASSERT_TRUE(m_server.Write(bytes));
    EXPECT_TRUE(Loop().RunUntil([&] { return m_pHost->InvalidateCount() == 2; }));
    EXPECT_EQ(m_dlg.SwitchState(), 0);
}

TEST_F(ConnectionTest, FloodOfGarbageLeavesTheProgramConnectedAndConsistent)
{
    ChooseRelayBox();
    ConnectToServer();
    const std::string garbage(1 << 20, '\x9c');
    ASSERT_TRUE(m_server.Write(garbage));
    // Drain the flood: the loop goes quiet once everything is read.
    int nIdle = 0;
    ASSERT_TRUE(Loop().RunUntil([&] { return (Loop().RunOnce(10ms) == 0 ? ++nIdle : (nIdle = 0)) >= 20; }));
    EXPECT_EQ(m_dlg.SwitchState(), 0);
    ASSERT_TRUE(m_server.Write(kToggle));
    ASSERT_TRUE(Loop().RunUntil([&] { return m_dlg.SwitchState() == 1; }));
    EXPECT_NE(m_dlg.Socket(), nullptr);
    EXPECT_TRUE(m_system.Boxes().empty());
}

TEST_F(ConnectionTest, ConnectNotificationShowsOnlyAnError)
{
    ConnectToServer();
    m_dlg.Socket()->OnConnect(0);
    EXPECT_TRUE(m_system.Boxes().empty());
    m_dlg.Socket()->OnConnect(ECONNREFUSED);
    EXPECT_EQ(LastBox(), Error("CClntSock::OnConnect error: %d\n", ECONNREFUSED));
    EXPECT_NE(m_dlg.Socket(), nullptr);
}

TEST_F(ConnectionTest, DestroyingTheDialogEndsTheConnection)
{
    auto pDlg = std::make_unique<CMimicboxDlg>();
    FakeWindowHost* pHost = m_system.Open(*pDlg);
    pHost->TypeText(IDC_PORT, std::to_string(m_server.Port()));
    pHost->Click(IDC_CONNECT);
    ASSERT_TRUE(m_server.Accept());
    m_system.Close(*pDlg);
    pDlg.reset();
    EXPECT_TRUE(m_server.ClientClosed());
}

TEST_F(ConnectionTest, AddressThatDoesNotAnswerGivesUpWithinTwentySeconds)
{
    // A listener whose queue is full drops further connection requests unanswered.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    socklen_t nLen = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &nLen);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        fillers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        ::connect(fillers.back(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    ::usleep(200000);

    m_pHost->TypeText(IDC_PORT, std::to_string(ntohs(address.sin_port)));
    const auto start = std::chrono::steady_clock::now();
    m_pHost->Click(IDC_CONNECT);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 19s);
    EXPECT_LE(elapsed, 22s);
    EXPECT_EQ(LastBox(), Error("SendClientData: Failed to connect: %d.\n", ETIMEDOUT));
    EXPECT_EQ(m_dlg.Socket(), nullptr);
    for (int fd : fillers)
        ::close(fd);
    ::close(listener);
}
