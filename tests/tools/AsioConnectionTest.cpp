// A device's connection on Asio against real servers, on both ways of sending (one send() per write,
// and the turn's writes in one io_uring submission): what the socket does not take at once waits in
// the queue, every byte arrives once and in order, a server that stops reading loses the connection,
// and a reset reaches the server at once even with a send in flight.
#include "tools/io/AsioConnection.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "tools/io/ChooseSender.h"

using namespace mimicbox;
using namespace std::chrono_literals;

namespace {

// Listens with a small receive window, so that a burst cannot all go into the kernel at once. Its
// reader runs on a thread of its own.
class SlowServer {
public:
    SlowServer()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int small = 2048;
        ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::listen(listener_, 64);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~SlowServer()
    {
        if (reader_.joinable())
            reader_.join();
        ::close(listener_);
    }
    unsigned Port() const { return port_; }
    // Accepts `clients` connections, waits `pause` or until Go(), then reads each to its end, a
    // little at a time.
    void Read(int clients, std::chrono::milliseconds pause, std::chrono::microseconds between = 200us)
    {
        reader_ = std::thread([this, clients, pause, between] {
            std::vector<int> accepted;
            for (int i = 0; i < clients; ++i)
                accepted.push_back(::accept(listener_, nullptr, nullptr));
            const auto until = std::chrono::steady_clock::now() + pause;
            while (!go_ && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(1ms);
            for (const int client : accepted) {
                int pending = 0;
                socklen_t size = sizeof pending;
                ::getsockopt(client, SOL_SOCKET, SO_ERROR, &pending, &size);
                errorsAfterPause_.push_back(pending);
            }
            for (const int client : accepted) {
                received_.emplace_back();
                char buffer[512];
                ssize_t size = 0;
                while ((size = ::recv(client, buffer, sizeof buffer, 0)) > 0) {
                    received_.back().append(buffer, static_cast<std::size_t>(size));
                    bytes_ += static_cast<std::size_t>(size);
                    std::this_thread::sleep_for(between);
                }
                endErrors_.push_back(size == 0 ? 0 : errno);
                ::close(client);
            }
        });
    }
    // What each client sent, and how its stream ended: 0 for an orderly close, else the errno.
    const std::vector<std::string>& Received()
    {
        reader_.join();
        return received_;
    }
    void Go() { go_ = true; }
    // Bytes read so far, of every client.
    std::size_t Bytes() const { return bytes_; }
    const std::vector<int>& EndErrors() const { return endErrors_; }
    // Each client's error as it stood when the pause ended, before any read.
    const std::vector<int>& ErrorsAfterPause() const { return errorsAfterPause_; }

private:
    int listener_ = -1;
    unsigned port_ = 0;
    std::thread reader_;
    std::vector<std::string> received_;
    std::vector<int> endErrors_;
    std::vector<int> errorsAfterPause_;
    std::atomic<bool> go_ = false;
    std::atomic<std::size_t> bytes_ = 0;
};

class Handler : public sim::ConnectionHandler {
public:
    void OnConnected() override { connected = true; }
    void OnConnectFailed(std::string_view reason) override { failure = reason; }
    void OnChunk(std::string_view) override {}
    void OnLost(std::string_view reason) override { failure = reason; }
    bool connected = false;
    std::string failure;
};

std::string Numbered(int i)
{
    std::string record = "record " + std::to_string(i) + " ";
    record.resize(99, '.');
    return record + '\0';
}

class AsioConnectionTest : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        std::string line;
        std::string error;
        if (!io::ChooseSender(context_, GetParam(), sender_, line, error))
            GTEST_SKIP() << error;
    }

    std::unique_ptr<io::AsioNetwork> Network(unsigned port, std::size_t maxUnsent = io::kMaxUnsent)
    {
        return std::make_unique<io::AsioNetwork>(context_, "127.0.0.1", port, std::vector<asio::ip::address>{},
                                                 sender_, maxUnsent);
    }
    // Device 0's connection, once it connected or failed.
    std::unique_ptr<sim::Connection> Connect(io::AsioNetwork& network, Handler& handler)
    {
        auto connection = network.Create(0, handler);
        connection->Open();
        RunUntil([&] { return handler.connected || !handler.failure.empty(); });
        return connection;
    }
    // Runs the loop until the condition holds, for at most 10 s.
    template <typename Condition>
    void RunUntil(Condition condition)
    {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!condition() && std::chrono::steady_clock::now() < deadline)
            context_.run_for(5ms);
    }
    // Runs the loop while it has work, for at most 20 s.
    void RunOut()
    {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline && context_.run_for(10ms) > 0) {
        }
    }

    asio::io_context context_;
    std::shared_ptr<io::UringSender> sender_;
};

}  // namespace

TEST_P(AsioConnectionTest, ABurstTheSocketCannotTakeArrivesOnceAndInOrder)
{
    SlowServer server;
    // 6 MB in all: beyond what the kernel takes at once (4 MB at most for sending), so that sends
    // complete short and their rest goes out after.
    constexpr int kRecords = 60000;
    std::string expected;
    for (int i = 0; i < kRecords; ++i)
        expected += Numbered(i);
    server.Read(1, 0ms, 0us);
    const auto network = Network(server.Port(), expected.size());
    Handler handler;
    const auto connection = Connect(*network, handler);
    ASSERT_TRUE(handler.connected) << handler.failure;
    for (int i = 0; i < kRecords; ++i)
        connection->Write(Numbered(i));
    // Until the server has read it all: waiting for room is no work the loop would count.
    RunUntil([&] { return server.Bytes() >= expected.size(); });
    connection->Close();
    RunOut();
    EXPECT_EQ(handler.failure, "");
    const auto& received = server.Received();
    ASSERT_EQ(received.size(), 1u);
    ASSERT_EQ(received[0].size(), expected.size());
    EXPECT_TRUE(received[0] == expected);
    EXPECT_EQ(server.EndErrors()[0], 0) << "an orderly close ends with FIN";
}

TEST_P(AsioConnectionTest, ManyConnectionsWritingInOneTurnEachGetTheirOwnBytesInOrder)
{
    SlowServer server;
    constexpr int kClients = 40;
    server.Read(kClients, 0ms, 0us);
    const auto network = Network(server.Port());
    std::vector<Handler> handlers(kClients);
    std::vector<std::unique_ptr<sim::Connection>> connections;
    for (int i = 0; i < kClients; ++i) {
        connections.push_back(network->Create(static_cast<std::size_t>(i), handlers[static_cast<std::size_t>(i)]));
        connections.back()->Open();
    }
    RunUntil([&] { return std::all_of(handlers.begin(), handlers.end(), [](const Handler& h) { return h.connected; }); });
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < kClients; ++i)
            connections[static_cast<std::size_t>(i)]->Write(Numbered(i * 100 + round));
    }
    RunOut();
    for (const auto& connection : connections)
        connection->Close();
    RunOut();
    // The server accepts in its own order: match each stream by its first record's number.
    std::vector<std::string> expected;
    for (int i = 0; i < kClients; ++i) {
        expected.emplace_back();
        for (int round = 0; round < 5; ++round)
            expected.back() += Numbered(i * 100 + round);
    }
    std::vector<std::string> received = server.Received();
    std::sort(received.begin(), received.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(received, expected);
}

TEST_P(AsioConnectionTest, AServerThatStopsReadingLosesTheConnection)
{
    SlowServer server;
    server.Read(1, 20s);
    const auto network = Network(server.Port());
    Handler handler;
    const auto connection = Connect(*network, handler);
    ASSERT_TRUE(handler.connected) << handler.failure;
    // Beyond what the kernel's buffers take on loopback (4 MB for sending, by default).
    for (int i = 0; i < 100000 && handler.failure.empty(); ++i) {
        connection->Write(Numbered(i));
        context_.poll();
    }
    RunUntil([&] { return !handler.failure.empty(); });
    EXPECT_EQ(handler.failure, "connection lost: the server does not read");
    connection->Reset();
    server.Go();
    server.Received();
}

TEST_P(AsioConnectionTest, AResetReachesTheServerAtOnceWhileASendWaits)
{
    SlowServer server;
    server.Read(1, 20s);
    const auto network = Network(server.Port(), 1 << 20);
    Handler handler;
    const auto connection = Connect(*network, handler);
    ASSERT_TRUE(handler.connected) << handler.failure;
    // More than the kernel takes: a send stays pending while the server does not read.
    for (int i = 0; i < 5000; ++i)
        connection->Write(Numbered(i));
    context_.run_for(50ms);
    connection->Reset();
    RunOut();
    // Time enough for a reset on its way, not for the server to read its way to one.
    std::this_thread::sleep_for(100ms);
    server.Go();
    server.Received();
    EXPECT_EQ(server.ErrorsAfterPause()[0], ECONNRESET) << "the reset arrived before the server read again";
    EXPECT_EQ(handler.failure, "") << "nothing is reported after a reset";
}

INSTANTIATE_TEST_SUITE_P(BothWaysOfSending, AsioConnectionTest, testing::Values("epoll", "uring"),
                         [](const testing::TestParamInfo<std::string>& path) { return path.param; });
