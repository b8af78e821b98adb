// mimicbox-cli and mimicbox-server as programs: against a server in the test, and against each other.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <httplib.h>

#include "link/Record.h"
#include "tests/LoopbackServer.h"
#include "tests/SplitRecords.h"
#include "tests/tools/Subprocess.h"

using namespace std::chrono_literals;
using ::testing::HasSubstr;

namespace {

const std::string kToggle = std::string("TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;") + '\0';

Subprocess Cli(unsigned nPort, std::vector<std::string> args)
{
    args.insert(args.end(), {"--port", std::to_string(nPort)});
    return Subprocess(MIMICBOX_CLI, args);
}

// A port of this machine that refuses connects: bound, so that nothing else takes it while held, but
// not listening.
class RefusingPort {
public:
    RefusingPort()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~RefusingPort() { ::close(fd_); }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    unsigned Port() const { return port_; }

private:
    int fd_ = -1;
    unsigned port_ = 0;
};

// mimicbox-server on a port of its own choosing; 0 when it did not say which.
unsigned ServerPort(Subprocess& server, const std::string& address = "127.0.0.1")
{
    const std::string prefix = "listening on " + address + ":";
    if (!server.WaitForOutput(prefix))
        return 0;
    const std::string& output = server.Output();
    return static_cast<unsigned>(std::stoul(output.substr(output.find(prefix) + prefix.size())));
}

}  // namespace

TEST(ProgramsTest, CliSendsTheDialogsRecordsAtItsPeriod)
{
    LoopbackServer server;
    Subprocess cli = Cli(server.Port(), {"--device", "relay:1005", "--reports", "4"});
    ASSERT_TRUE(server.Accept());
    std::string bytes;
    while (SplitRecords(bytes).size() < 4) {
        const std::string more = server.Read(1, 3000ms);
        ASSERT_FALSE(more.empty());
        bytes += more;
    }
    EXPECT_EQ(cli.Wait(), 0);
    const std::vector<std::string> records = SplitRecords(bytes);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(bytes.back(), '\0');
    const long long nNow = static_cast<long long>(std::time(nullptr));
    for (const std::string& record : records) {
        mimicbox::RecordHeader header{};
        ASSERT_TRUE(mimicbox::ParseHeader(record, header)) << record;
        const std::string expectedStart = "TolvarkControl: 8, 1005, 4, 0, 0, 1, 10;";
        EXPECT_EQ(record.substr(0, expectedStart.size()), expectedStart);
        EXPECT_THAT(record, ::testing::EndsWith(", 0, 0;"));
        EXPECT_LE(std::llabs(std::stoll(record.substr(expectedStart.size())) - nNow), 5);
    }
    EXPECT_THAT(cli.Output(), HasSubstr("relay:1005: 4 reports, 0 commands, 0 toggles applied, period mean"));
    EXPECT_THAT(cli.Output(), HasSubstr("relay:1005 -> TolvarkControl: 8, 1005, 4, 0, 0, 1, 10;"));
    // These tests run once as they are and once with MIMICBOX_IO=epoll: each run says which it took.
    const char* wanted = std::getenv("MIMICBOX_IO");
    EXPECT_THAT(cli.Errors(), ::testing::StartsWith(wanted && std::string(wanted) == "epoll" ? "io: epoll" : "io: io_uring"));
}

TEST(ProgramsTest, CliAppliesTheServersToggles)
{
    LoopbackServer server;
    Subprocess cli = Cli(server.Port(), {"--device", "relay:5", "--reports", "3"});
    ASSERT_TRUE(server.Accept());
    std::string bytes = server.Read(1);
    ASSERT_TRUE(server.Write(kToggle));
    while (SplitRecords(bytes).size() < 3) {
        const std::string more = server.Read(1, 3000ms);
        ASSERT_FALSE(more.empty());
        bytes += more;
    }
    EXPECT_EQ(cli.Wait(), 0);
    const std::vector<std::string> records = SplitRecords(bytes);
    EXPECT_THAT(records[0], ::testing::EndsWith(", 0, 0;"));
    EXPECT_THAT(records[2], ::testing::EndsWith(", 1, 0;"));
    EXPECT_THAT(cli.Output(), HasSubstr("relay:1005 <- TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;"));
    EXPECT_THAT(cli.Output(), HasSubstr("3 reports, 1 command, 1 toggle applied"));
}

TEST(ProgramsTest, LostConnectionEndsWithStatusOne)
{
    LoopbackServer server;
    Subprocess cli = Cli(server.Port(), {"--device", "thermo:3", "--quiet"});
    ASSERT_TRUE(server.Accept());
    server.CloseClient();
    EXPECT_EQ(cli.Wait(), 1);
    EXPECT_THAT(cli.Errors(), HasSubstr("thermo:3: connection closed by the server"));
    EXPECT_THAT(cli.Output(), HasSubstr("thermo:3: 0 reports, 0 commands, 0 toggles applied, connection failed"));
}

TEST(ProgramsTest, RefusedConnectionEndsWithStatusOne)
{
    RefusingPort refusing;
    Subprocess cli = Cli(refusing.Port(), {"--device", "relay:1001"});
    EXPECT_EQ(cli.Wait(), 1);
    EXPECT_THAT(cli.Errors(), HasSubstr("relay:1001: cannot connect: Connection refused"));
}

TEST(ProgramsTest, ReconnectKeepsTheDeviceGoingUntilTerminated)
{
    LoopbackServer server;
    Subprocess cli = Cli(server.Port(), {"--device", "relay:1002", "--reconnect", "0.2", "--quiet"});
    ASSERT_TRUE(server.Accept());
    server.CloseClient();
    ASSERT_TRUE(server.Accept(3000ms));
    EXPECT_FALSE(server.Read(1, 2000ms).empty());
    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Wait(), 0);
    EXPECT_TRUE(server.ClientClosed());
    EXPECT_THAT(cli.Output(), HasSubstr("relay:1002: "));
}

TEST(ProgramsTest, InterruptClosesEveryConnectionCleanly)
{
    LoopbackServer server;
    Subprocess cli = Cli(server.Port(), {"--device", "thermo:1", "--quiet"});
    ASSERT_TRUE(server.Accept());
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(), 0);
    EXPECT_TRUE(server.ClientClosed());
    EXPECT_THAT(cli.Output(), HasSubstr("thermo:1: 0 reports"));
}

TEST(ProgramsTest, DurationStopsTheRun)
{
    LoopbackServer server;
    const auto start = std::chrono::steady_clock::now();
    Subprocess cli = Cli(server.Port(), {"--device", "relay:1003", "--duration", "1.2", "--quiet"});
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(cli.Wait(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    // Deadlines at 0.5 s and 1 s after the connection; the connection itself takes a moment.
    EXPECT_THAT(cli.Output(), ::testing::ContainsRegex("relay:1003: [12] reports"));
}

TEST(ProgramsTest, UsageErrorsEndWithStatusTwo)
{
    Subprocess bad(MIMICBOX_CLI, {"--device", "thermo:0"});
    EXPECT_EQ(bad.Wait(), 2);
    EXPECT_THAT(bad.Errors(), HasSubstr("mimicbox-cli: bad value 'thermo:0' for --device"));
    EXPECT_THAT(bad.Errors(), HasSubstr("Try 'mimicbox-cli --help'."));
    Subprocess help(MIMICBOX_CLI, {"--help"});
    EXPECT_EQ(help.Wait(), 0);
    EXPECT_THAT(help.Output(), HasSubstr("Usage: mimicbox-cli"));
    Subprocess serverHelp(MIMICBOX_SERVER, {"--port", "x"});
    EXPECT_EQ(serverHelp.Wait(), 2);
    for (const char* program : {MIMICBOX_CLI, MIMICBOX_SERVER}) {
        Subprocess version(program, {"--version"});
        EXPECT_EQ(version.Wait(), 0);
        EXPECT_THAT(version.Output(), ::testing::MatchesRegex("mimicbox-(cli|server) [0-9]+\\.[0-9]+\\.[0-9]+\n"));
    }
}

TEST(ProgramsTest, ARunInWhichADeviceNeverConnectedIsNoSuccess)
{
    RefusingPort refusing;
    Subprocess cli = Cli(refusing.Port(), {"--device", "relay:1001", "--reconnect", "0.1", "--duration", "0.5", "--quiet"});
    EXPECT_EQ(cli.Wait(), 1);
    EXPECT_THAT(cli.Output(), HasSubstr("relay:1001: 0 reports, 0 commands, 0 toggles applied, never connected"));
}

TEST(ProgramsTest, ServerPicksAFreePortAndNamesTheDeviceWhoseConnectionCloses)
{
    Subprocess server(MIMICBOX_SERVER, {"--port", "0"});
    const unsigned port = ServerPort(server);
    ASSERT_NE(port, 0u);
    Subprocess cli = Cli(port, {"--device", "relay:1005", "--reports", "1", "--quiet"});
    EXPECT_EQ(cli.Wait(), 0);
    EXPECT_TRUE(server.WaitForOutput("relay:1005 closed the connection"));
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(), 0);
}

TEST(ProgramsTest, CliAgainstTheReferenceServer)
{
    Subprocess server(MIMICBOX_SERVER, {"--port", "0", "--toggle-every", "0.5"});
    const unsigned nPort = ServerPort(server);
    ASSERT_NE(nPort, 0u);
    Subprocess cli(MIMICBOX_CLI, {"--port", std::to_string(nPort), "--device", "relay:1005", "--device", "thermo:2",
                                  "--temperature", "21.5", "--step", "up", "--reports", "4", "--quiet"});
    EXPECT_EQ(cli.Wait(), 0);
    EXPECT_THAT(cli.Output(), ::testing::ContainsRegex("relay:1005: 4 reports, [1-9][0-9]* commands?, [1-9][0-9]* toggles?"));
    ASSERT_TRUE(server.WaitForOutput("Thermo-Box 2"));
    EXPECT_THAT(server.Output(), HasSubstr("21.510000 \xC2\xB0" "C"));
    EXPECT_THAT(server.Output(), HasSubstr("Relay-Box 1005"));
    EXPECT_THAT(server.Output(), HasSubstr("switch on"));
    EXPECT_THAT(server.Output(), HasSubstr("toggle sent to 1005"));
    server.Signal(SIGINT);
    EXPECT_EQ(server.Wait(), 0);
    EXPECT_THAT(server.Output(), HasSubstr("stopped"));
}

TEST(ProgramsTest, EveryAddressMayBeIPv6AndAnUnknownNameIsSaidOnce)
{
    Subprocess server(MIMICBOX_SERVER, {"--listen", "::1", "--port", "0", "--toggle-every", "0.3"});
    const unsigned nPort = ServerPort(server, "[::1]");
    ASSERT_NE(nPort, 0u);
    Subprocess cli(MIMICBOX_CLI, {"--server", "::1", "--port", std::to_string(nPort), "--source", "::1", "--device",
                                  "relay:1005", "--reports", "3", "--control", "[::1]:0", "--quiet"});
    EXPECT_TRUE(cli.WaitForOutput("control: http://[::1]:"));
    EXPECT_EQ(cli.Wait(), 0) << cli.Errors();
    EXPECT_THAT(cli.Output(), ::testing::ContainsRegex("relay:1005: 3 reports, [1-9][0-9]* commands?"));
    ASSERT_TRUE(server.WaitForOutput("Relay-Box 1005"));
    EXPECT_THAT(server.Output(), ::testing::ContainsRegex("\\[::1\\]:[0-9]+ Relay-Box 1005"));
    server.Signal(SIGINT);
    EXPECT_EQ(server.Wait(), 0);

    Subprocess unknown(MIMICBOX_CLI, {"--server", "no-such-host.invalid", "--all", "--quiet"});
    EXPECT_EQ(unknown.Wait(), 1);
    EXPECT_EQ(unknown.Errors().find("cannot resolve no-such-host.invalid"),
              unknown.Errors().rfind("cannot resolve no-such-host.invalid"));
    EXPECT_THAT(unknown.Errors(), HasSubstr("cannot resolve no-such-host.invalid"));

    Subprocess badListen(MIMICBOX_SERVER, {"--listen", "::1::2"});
    EXPECT_EQ(badListen.Wait(), 2);
    EXPECT_THAT(badListen.Errors(), HasSubstr("bad value '::1::2' for --listen (an IPv4 or IPv6 address)"));
}

TEST(ProgramsTest, ServerFlagsUnreadableRecordsAndTogglesOnRequest)
{
    Subprocess server(MIMICBOX_SERVER, {"--port", "0"});
    const unsigned nPort = ServerPort(server);
    ASSERT_NE(nPort, 0u);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(nPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const std::string bytes = std::string("garbage\x01") + '\0' + "TolvarkControl: 8, 1007, 4, 0, 0, 1, 10;1765000000, 0, 0;" + '\0';
    ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    EXPECT_TRUE(server.WaitForOutput("unreadable record (no header): \"garbage\\x01\""));
    ASSERT_TRUE(server.WaitForOutput("Relay-Box 1007"));
    server.WriteInput("t 1007\n");
    char buffer[128] = {};
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0),
              std::string("TolvarkControl: 8, 1007, 4, 0, 0, 1, 11;") + '\0');
    server.WriteInput("q\n");
    EXPECT_EQ(server.Wait(), 0);
    char c = 0;
    EXPECT_EQ(::recv(fd, &c, 1, 0), 0);
    ::close(fd);
}

TEST(ProgramsTest, TooFewDescriptorsEndTheRunBeforeAnyConnect)
{
    LoopbackServer server;
    Subprocess cli("/bin/sh", {"-c", "ulimit -n 64 && exec \"$0\" \"$@\"", MIMICBOX_CLI, "--port",
                               std::to_string(server.Port()), "--device", "thermo:1-1000"});
    EXPECT_EQ(cli.Wait(), 2);
    EXPECT_THAT(cli.Errors(), HasSubstr("mimicbox-cli: 1032 descriptors are needed, but the limit is 64"));
    EXPECT_FALSE(server.Accept(200ms));
}

TEST(ProgramsTest, ControlStartsEmptyAndAddsNoMoreDevicesThanItsDescriptorsHold)
{
    Subprocess server(MIMICBOX_SERVER, {"--port", "0"});
    const unsigned nPort = ServerPort(server);
    ASSERT_NE(nPort, 0u);
    // 256 descriptors: 128 stay for the API's clients and 32 for the rest, which leaves 96.
    Subprocess cli("/bin/sh", {"-c", "ulimit -n 256 && exec \"$0\" \"$@\"", MIMICBOX_CLI, "--port",
                               std::to_string(nPort), "--control", "127.0.0.1:0", "--quiet"});
    ASSERT_TRUE(cli.WaitForOutput("\n"));
    const std::string prefix = "control: http://127.0.0.1:";
    ASSERT_EQ(cli.Output().rfind(prefix, 0), 0u) << cli.Output();
    httplib::Client api("127.0.0.1", std::stoi(cli.Output().substr(prefix.size())));
    const auto tooMany = api.Post("/devices", R"({"model": "thermo", "serials": "1-97"})", "application/json");
    ASSERT_TRUE(tooMany);
    EXPECT_EQ(tooMany->status, 400);
    EXPECT_THAT(tooMany->body, HasSubstr("this process holds at most 96"));
    const auto added = api.Post("/devices", R"({"model": "relay", "serials": "1001-1096"})", "application/json");
    ASSERT_TRUE(added);
    EXPECT_EQ(added->status, 201);
    EXPECT_TRUE(server.WaitForOutput("Relay-Box 1096"));
    const auto removed = api.Delete("/devices/relay:1096");
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->status, 200);
    const auto metrics = api.Get("/metrics");
    ASSERT_TRUE(metrics);
    EXPECT_THAT(metrics->body, HasSubstr("mimicbox_devices 95\n"));
    ASSERT_TRUE(api.Post("/stop", "", "application/json"));
    EXPECT_EQ(cli.Wait(), 0);
    EXPECT_THAT(cli.Output(), HasSubstr("96 devices: "));
    server.Signal(SIGINT);
    server.Wait();
}

TEST(ProgramsTest, SourceAddressesAreUsedAndUnknownOnesRefused)
{
    Subprocess unknown(MIMICBOX_CLI, {"--device", "relay:1001", "--source", "192.0.2.1"});
    EXPECT_EQ(unknown.Wait(), 2);
    EXPECT_THAT(unknown.Errors(), HasSubstr("cannot use 192.0.2.1 as a source address: Cannot assign requested address"));

    Subprocess server(MIMICBOX_SERVER, {"--port", "0"});
    const unsigned port = ServerPort(server);
    ASSERT_NE(port, 0u);
    Subprocess cli(MIMICBOX_CLI, {"--port", std::to_string(port), "--device", "relay:1001", "--device", "relay:1002",
                                  "--source", "127.0.0.2", "--source", "127.0.0.3", "--reports", "1", "--quiet"});
    EXPECT_EQ(cli.Wait(), 0);
    EXPECT_TRUE(server.WaitForOutput("127.0.0.2:"));
    EXPECT_TRUE(server.WaitForOutput("127.0.0.3:"));
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(), 0);
}

TEST(ProgramsTest, AServerThatNeverReadsHoldsNothingUp)
{
    LoopbackServer server;
    const auto start = std::chrono::steady_clock::now();
    Subprocess cli = Cli(server.Port(), {"--device", "relay:1001", "--device", "thermo:1", "--duration", "1.5", "--quiet"});
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(cli.Wait(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST(ProgramsTest, TwoThousandDevicesAgainstTheReferenceServer)
{
    Subprocess server(MIMICBOX_SERVER, {"--port", "0", "--quiet", "--stats"});
    const unsigned port = ServerPort(server);
    ASSERT_NE(port, 0u);
    Subprocess cli(MIMICBOX_CLI, {"--port", std::to_string(port), "--device", "thermo:1-1000", "--device",
                                  "relay:1001-2000", "--ramp-up", "0.5", "--reports", "2", "--quiet"});
    EXPECT_EQ(cli.Wait(20000ms), 0);
    EXPECT_THAT(cli.Output(), HasSubstr("2000 devices: 4000 reports"));
    EXPECT_THAT(cli.Output(), HasSubstr("relay:2000: 2 reports"));
    EXPECT_TRUE(server.WaitForOutput("stats: devices "));
    EXPECT_THAT(server.Output(), ::testing::Not(HasSubstr("unreadable record")));
    server.Signal(SIGINT);
    EXPECT_EQ(server.Wait(), 0);
}

TEST(ProgramsTest, ServerOutOfDescriptorsKeepsServingOnceSomeAreFree)
{
    Subprocess server("/bin/sh", {"-c", "ulimit -n 16 && exec \"$0\" \"$@\"", MIMICBOX_SERVER, "--port", "0"});
    const unsigned port = ServerPort(server);
    ASSERT_NE(port, 0u);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<int> clients;
    for (int i = 0; i < 24; ++i) {
        clients.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        ASSERT_EQ(::connect(clients.back(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    }
    for (int i = 0; i < 50 && server.Errors().find("cannot accept") == std::string::npos; ++i)
        server.WaitForOutput("\x01", 100ms);
    EXPECT_THAT(server.Errors(), HasSubstr("cannot accept: Too many open files; trying again"));
    for (int fd : clients)
        ::close(fd);
    const int late = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::connect(late, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const std::string report = std::string("TolvarkControl: 8, 1009, 4, 0, 0, 1, 10;1765000000, 0, 0;") + '\0';
    ASSERT_EQ(::send(late, report.data(), report.size(), 0), static_cast<ssize_t>(report.size()));
    EXPECT_TRUE(server.WaitForOutput("Relay-Box 1009"));
    ::close(late);
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(), 0);
}
