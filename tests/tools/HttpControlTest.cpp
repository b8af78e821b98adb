// The HTTP layer of the live control on real sockets and threads: requests answered from the loop's
// thread, the token, and the limits. Run under ThreadSanitizer by the test command.
#include "tools/io/HttpControl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <future>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "tools/io/AsioScheduler.h"
#include "tools/report/FanOut.h"
#include "tools/sim/Summary.h"
#include "tools/testing/FakeNetwork.h"

using namespace mimicbox;
using namespace std::chrono_literals;
using ::testing::HasSubstr;

namespace {

// A plant of two devices on the fake network, its loop on a thread of its own as in the runner.
class HttpControlTest : public ::testing::Test {
protected:
    void Serve(const std::string& token)
    {
        config_.devices = {{TYPE_THERMO, 3}, {TYPE_RELAY, 1005}};
        summary_ = std::make_unique<sim::Summary>(config_.devices);
        plant_ = std::make_unique<sim::Plant>(config_, scheduler_, network_, sinks_);
        controller_ = std::make_unique<control::Controller>(*plant_, *summary_, metrics_, [this] { context_.stop(); });
        sinks_.Add(*summary_);
        sinks_.Add(metrics_);
        sinks_.Add(*controller_);
        sinks_.Add(feed_);
        http_ = std::make_unique<io::HttpControl>(
            context_, [this](const control::Request& request) { return controller_->Handle(request); }, feed_, token);
        std::string error;
        ASSERT_TRUE(http_->Listen("127.0.0.1", 0, error)) << error;
        plant_->Start({});
        http_->Start();
        loop_ = std::thread([this] {
            auto guard = asio::make_work_guard(context_);
            context_.run();
        });
    }
    void TearDown() override
    {
        if (http_)
            http_->Stop();
        context_.stop();
        if (loop_.joinable())
            loop_.join();
    }
    httplib::Client Client() const { return httplib::Client("127.0.0.1", static_cast<int>(http_->Port())); }
    // A client that connects and says nothing; -1 when it cannot connect.
    int Idle() const
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(http_->Port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return fd;
        if (fd >= 0)
            ::close(fd);
        return -1;
    }

    asio::io_context context_;
    io::AsioScheduler scheduler_{context_};
    mimicbox::testing::FakeNetwork network_{scheduler_};
    sim::PlantConfig config_;
    report::FanOut sinks_;
    control::Metrics metrics_;
    std::unique_ptr<sim::Summary> summary_;
    std::unique_ptr<sim::Plant> plant_;
    std::unique_ptr<control::Controller> controller_;
    control::EventFeed feed_{1000, sim::Instant{}};
    std::unique_ptr<io::HttpControl> http_;
    std::thread loop_;
};

}  // namespace

TEST_F(HttpControlTest, ManyClientsAtOnceAreAnsweredFromTheLoop)
{
    Serve("");
    std::vector<std::future<int>> clients;
    // Each client keeps its connection, as a test suite's client does.
    for (int i = 0; i < 8; ++i) {
        clients.push_back(std::async(std::launch::async, [this, i] {
            httplib::Client client = Client();
            client.set_keep_alive(true);
            int ok = 0;
            for (int k = 0; k < 10; ++k) {
                const std::string body = "{\"value\": " + std::to_string(20 + i) + "}";
                const auto put = client.Put("/devices/thermo:3/temperature", body, "application/json");
                const auto get = client.Get("/devices");
                ok += put && put->status == 200 && get && get->status == 200;
                if (!put || !get)
                    ADD_FAILURE() << "put " << httplib::to_string(put.error()) << ", get " << httplib::to_string(get.error());
            }
            return ok;
        }));
    }
    for (auto& client : clients)
        EXPECT_EQ(client.get(), 10);
    const auto metrics = Client().Get("/metrics");
    ASSERT_TRUE(metrics);
    EXPECT_THAT(metrics->body, HasSubstr("mimicbox_connected_devices"));
    EXPECT_EQ(metrics->get_header_value("Content-Type"), "text/plain; version=0.0.4");
}

TEST_F(HttpControlTest, ATokenIsRequiredWhenGivenAndBodiesAreLimited)
{
    Serve("s3cret");
    httplib::Client client = Client();
    const auto refused = client.Get("/devices");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 401);
    EXPECT_THAT(refused->body, HasSubstr("\"error\""));
    client.set_bearer_token_auth("s3cret");
    const auto allowed = client.Get("/devices/relay:1005");
    ASSERT_TRUE(allowed);
    EXPECT_EQ(allowed->status, 200);
    const auto huge = client.Put("/devices/thermo:3/profile", std::string(2 << 20, ' '), "application/json");
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->status, 413);
    const auto stop = client.Post("/stop");
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->status, 200);
}

TEST_F(HttpControlTest, TheClientBeyondSixtyFourIsRefusedUntilOneLeaves)
{
    Serve("");
    std::vector<int> idle;
    for (int i = 0; i < 64; ++i)
        idle.push_back(Idle());
    ASSERT_EQ(std::count(idle.begin(), idle.end(), -1), 0);
    const auto refused = Client().Get("/devices");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 503);
    EXPECT_THAT(refused->body, HasSubstr("more than 64 clients"));
    EXPECT_EQ(refused->get_header_value("Connection"), "close");
    ::close(idle.back());
    idle.pop_back();
    // The server sees the close a moment later.
    int status = 0;
    for (int attempt = 0; attempt < 100 && status != 200; ++attempt) {
        std::this_thread::sleep_for(20ms);
        const auto served = Client().Get("/devices");
        status = served ? served->status : 0;
    }
    EXPECT_EQ(status, 200);
    for (const int fd : idle)
        ::close(fd);
}

TEST_F(HttpControlTest, ARequestTheLoopNeverTookIsRefusedAtStopAndNeverCarriedOut)
{
    Serve("");
    // The run is ending: its loop has stopped.
    context_.stop();
    loop_.join();
    auto put = std::async(std::launch::async, [this] {
        const auto response = Client().Put("/devices/thermo:3/temperature", R"({"value": 99})", "application/json");
        return response ? response->status : 0;
    });
    std::this_thread::sleep_for(100ms);
    const auto start = std::chrono::steady_clock::now();
    http_->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(put.get(), 503);
    // The loop runs once more to close the connections, as the runner's does: the request stays undone.
    context_.restart();
    context_.run_for(50ms);
    EXPECT_EQ(plant_->At(0).GetDevice().Temperature(), 0.0f);
}

TEST_F(HttpControlTest, EventsStreamFromASequenceNumber)
{
    Serve("");
    // Some reports first, then the stream from the start.
    std::this_thread::sleep_for(1200ms);
    std::string received;
    httplib::Client client = Client();
    const auto stream = client.Get("/events?since=0", [&](const char* data, std::size_t size) {
        received.append(data, size);
        // Enough once the first reports are in.
        return received.find("\"event\":\"sent\"") == std::string::npos;
    });
    EXPECT_THAT(received, HasSubstr("id: 0\ndata: {"));
    EXPECT_THAT(received, HasSubstr("\"event\":\"connected\""));
    EXPECT_THAT(received, HasSubstr("\"event\":\"sent\""));
    const auto bad = Client().Get("/events?since=x");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->status, 400);
}
