// A device's connection on Asio against a real server that reads slowly: what the socket does not
// take at once waits in the queue, and every byte arrives once and in order.
#include "tools/io/AsioConnection.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace mimicbox;
using namespace std::chrono_literals;

namespace {

// Listens with a small receive window, so that a burst cannot all go into the kernel at once.
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
        ::listen(listener_, 1);
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
    // Reads `total` bytes a little at a time, on a thread of its own.
    void ReadSlowly(std::size_t total)
    {
        reader_ = std::thread([this, total] {
            const int client = ::accept(listener_, nullptr, nullptr);
            char buffer[512];
            while (received_.size() < total) {
                const ssize_t size = ::recv(client, buffer, sizeof buffer, 0);
                if (size <= 0)
                    break;
                received_.append(buffer, static_cast<std::size_t>(size));
                std::this_thread::sleep_for(200us);
            }
            ::close(client);
        });
    }
    const std::string& Received()
    {
        reader_.join();
        return received_;
    }

private:
    int listener_ = -1;
    unsigned port_ = 0;
    std::thread reader_;
    std::string received_;
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

}  // namespace

TEST(AsioConnectionTest, ABurstTheSocketCannotTakeArrivesOnceAndInOrder)
{
    SlowServer server;
    // Records numbered in their text, 300 KB in all: far beyond what the kernel takes at once.
    std::string expected;
    std::vector<std::string> records;
    for (int i = 0; i < 3000; ++i) {
        std::string record = "record " + std::to_string(i) + " ";
        record.resize(99, '.');
        records.push_back(record + '\0');
        expected += records.back();
    }
    server.ReadSlowly(expected.size());
    asio::io_context context;
    io::AsioNetwork network(context, "127.0.0.1", server.Port(), {}, expected.size());
    Handler handler;
    const auto connection = network.Create(0, handler);
    connection->Open();
    for (int i = 0; i < 200 && !handler.connected; ++i)
        context.run_for(10ms);
    ASSERT_TRUE(handler.connected) << handler.failure;
    for (const std::string& record : records)
        connection->Write(record);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline && context.run_for(10ms) > 0) {
    }
    EXPECT_EQ(handler.failure, "");
    const std::string& received = server.Received();
    ASSERT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected);
}
