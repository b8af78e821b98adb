// The control API's HTTP server on real sockets and threads: answers from the runner's loop, the
// token, the limits on clients, bodies and time, and the end of a run. Run under ThreadSanitizer by
// the test command.
#include "tools/control/HttpControl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <future>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "tools/control/Controller.h"
#include "tools/control/FileWorker.h"
#include "tools/io/AsioScheduler.h"
#include "tools/sim/FanOut.h"
#include "tools/sim/Summary.h"
#include "tools/testing/FakeNetwork.h"

using namespace mimicbox;
using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

// A client that says exactly what the test gives it, byte for byte.
class RawClient {
public:
    explicit RawClient(unsigned port)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~RawClient()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool Connected() const { return fd_ >= 0; }
    void Send(const std::string& bytes) { ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // What arrives until the server closes, `text` has come, or the time is up.
    std::string Receive(std::chrono::milliseconds within, const std::string& text = "")
    {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (std::chrono::steady_clock::now() < deadline && (text.empty() || received_.find(text) == std::string::npos)) {
            pollfd ready{fd_, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (::poll(&ready, 1, static_cast<int>(std::max<long long>(left.count(), 0))) <= 0)
                break;
            char buffer[4096];
            const ssize_t size = ::recv(fd_, buffer, sizeof buffer, 0);
            if (size <= 0) {
                closed_ = true;
                break;
            }
            received_.append(buffer, static_cast<std::size_t>(size));
        }
        return received_;
    }
    bool Closed() const { return closed_; }

private:
    int fd_ = -1;
    std::string received_;
    bool closed_ = false;
};

// A plant of two devices on the fake network, its loop on a thread of its own, and the control
// API over it, stopped as the runner stops it.
class HttpControlTest : public ::testing::Test {
protected:
    void Serve(const std::string& token, control::http::ConnectionSettings settings = {})
    {
        config_.devices = {{TYPE_THERMO, 3}, {TYPE_RELAY, 1005}};
        summary_ = std::make_unique<sim::Summary>(config_.devices);
        plant_ = std::make_unique<sim::Plant>(config_, scheduler_, network_, sinks_);
        controller_ = std::make_unique<control::Controller>(
            control::PlantAccess{*plant_, *summary_, metrics_, scheduler_, files_, &feed_}, [this] { context_.stop(); });
        sinks_.Add(*summary_);
        sinks_.Add(metrics_);
        sinks_.Add(*controller_);
        sinks_.Add(feed_);
        http_ = std::make_unique<control::HttpControl>(
            context_,
            [this](const control::Request& request, control::Reply reply) { controller_->Dispatch(request, reply); },
            control::AccessRules{token, {}}, settings);
        std::string error;
        ASSERT_TRUE(http_->Listen("127.0.0.1", 0, error)) << error;
        plant_->Start({});
        http_->Start();
        loop_ = std::thread([this] {
            auto guard = asio::make_work_guard(context_);
            context_.run();
        });
    }
    // The runner's end: no new requests, every connection closed, the feed closed, the server ended.
    void EndRun()
    {
        context_.stop();
        loop_.join();
        http_->StopTaking();
        plant_->Stop();
        controller_->EndRun();
        context_.restart();
        context_.run_for(50ms);
        feed_.Close();
        http_->Stop();
    }
    void TearDown() override
    {
        if (loop_.joinable()) {
            context_.stop();
            loop_.join();
        }
        if (http_)
            http_->Stop();
    }
    httplib::Client Client() const { return httplib::Client("127.0.0.1", static_cast<int>(http_->Port())); }

    asio::io_context context_;
    io::AsioScheduler scheduler_{context_};
    mimicbox::testing::FakeNetwork network_{scheduler_};
    control::FileWorker files_{context_};
    sim::PlantConfig config_;
    sim::FanOut sinks_;
    control::Metrics metrics_;
    std::unique_ptr<sim::Summary> summary_;
    std::unique_ptr<sim::Plant> plant_;
    control::EventFeed feed_{1000, sim::Instant{}};
    std::unique_ptr<control::Controller> controller_;
    std::unique_ptr<control::HttpControl> http_;
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

TEST_F(HttpControlTest, ATokenIsRequiredWhenGivenInAnyCaseOfItsScheme)
{
    Serve("s3cret");
    httplib::Client client = Client();
    const auto refused = client.Get("/devices");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 401);
    EXPECT_EQ(refused->get_header_value("WWW-Authenticate"), "Bearer");
    EXPECT_THAT(refused->body, HasSubstr("\"error\""));
    EXPECT_EQ(client.Get("/devices", {{"Authorization", "Bearer wrong"}})->status, 401);
    EXPECT_EQ(client.Get("/devices/relay:1005", {{"Authorization", "bearer s3cret"}})->status, 200);
    client.set_bearer_token_auth("s3cret");
    const auto stop = client.Post("/stop", "", "application/json");
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->status, 200);
}

TEST_F(HttpControlTest, AClientBeyondSixtyFourTakesTheIdlestPlaceOrIsRefusedAtOnce)
{
    Serve("");
    // 64 idle clients, the first idle longest: a new one takes its place, one after another.
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 64; ++i) {
        idle.push_back(std::make_unique<RawClient>(http_->Port()));
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(50ms);
    std::vector<std::unique_ptr<RawClient>> served;
    for (int i = 0; i < 3; ++i) {
        served.push_back(std::make_unique<RawClient>(http_->Port()));
        served.back()->Send("GET /devices HTTP/1.1\r\n\r\n");
        EXPECT_THAT(served.back()->Receive(1000ms, "]"), StartsWith("HTTP/1.1 200 ")) << i;
        idle[static_cast<std::size_t>(i)]->Receive(1000ms);
        EXPECT_TRUE(idle[static_cast<std::size_t>(i)]->Closed()) << i;
    }
    EXPECT_FALSE(idle[3]->Receive(50ms).size() > 0 || idle[3]->Closed());
    idle.clear();
    served.clear();
    // Their places free once the server has seen them go.
    std::this_thread::sleep_for(200ms);

    // 64 clients in the middle of a request: 300 more, some saying nothing at all, are each
    // answered at once.
    std::vector<std::unique_ptr<RawClient>> busy;
    for (int i = 0; i < 64; ++i) {
        busy.push_back(std::make_unique<RawClient>(http_->Port()));
        busy.back()->Send("GET /devices HTTP/1.1\r\n");
    }
    std::this_thread::sleep_for(100ms);
    std::vector<std::unique_ptr<RawClient>> more;
    for (int i = 0; i < 300; ++i) {
        more.push_back(std::make_unique<RawClient>(http_->Port()));
        ASSERT_TRUE(more.back()->Connected());
        if (i % 3 != 0)
            more.back()->Send("GET /devices HTTP/1.1\r\nHost: x\r\n\r\n");
    }
    const auto start = std::chrono::steady_clock::now();
    for (auto& client : more) {
        const std::string answer = client->Receive(2000ms, "\r\n\r\n{");
        EXPECT_THAT(answer, StartsWith("HTTP/1.1 503 "));
        EXPECT_THAT(answer, HasSubstr("Retry-After: 1\r\n"));
        EXPECT_THAT(answer, HasSubstr("more than 64 clients"));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    // One of the 64 ends its request: its answer comes, and it stays for the next.
    busy.back()->Send("\r\n");
    EXPECT_THAT(busy.back()->Receive(1000ms, "]"), StartsWith("HTTP/1.1 200 "));
}

TEST_F(HttpControlTest, EveryMalformedRequestGetsItsStatusAtOnceWithAJsonBody)
{
    Serve("");
    struct Row {
        std::string request;
        const char* status;
        const char* error;
    };
    const Row rows[] = {
        {"GET /devices HTTP/1.1\r\nX: " + std::string(9000, 'a') + "\r\n\r\n", "431", "head is over 8 KB"},
        {"PUT /devices/thermo:3/temperature HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: 5000000\r\n\r\n", "413", "over 1 MB"},
        {"PUT /devices/thermo:3/temperature HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: 99999999999999999999999\r\n\r\n", "413", "over 1 MB"},
        {"PUT /devices/thermo:3/temperature HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: -1\r\n\r\n", "400", "Content-Length is no length"},
        {"GET /devices\r\n\r\n", "400", "request line"},
        {"GET /devices HTTP/2.0\r\n\r\n", "505", "HTTP/1.0 and HTTP/1.1"},
        {"GET devices HTTP/1.1\r\n\r\n", "400", "must start with '/'"},
        {"GET /%zz HTTP/1.1\r\n\r\n", "400", "two hex digits"},
        {"GET /%FF HTTP/1.1\r\n\r\n", "404", "no such resource"},
        {"PUT /metrics HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: 0\r\n\r\n", "405", "use GET"},
        {"PUT /devices/thermo:3/temperature HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: 16\r\n\r\n{\"value\": 1e309}", "400",
         "out of range"},
        {"POST /stop HTTP/1.1\r\nContent-Type: application/json\r\nTransfer-Encoding: gzip\r\n\r\n", "501", "chunked"},
    };
    for (const Row& row : rows) {
        RawClient client(http_->Port());
        client.Send(row.request);
        const std::string answer = client.Receive(1000ms, "}\n");
        EXPECT_THAT(answer, StartsWith(std::string("HTTP/1.1 ") + row.status + " ")) << row.request.substr(0, 60);
        EXPECT_THAT(answer, HasSubstr("Content-Type: application/json\r\n")) << row.request.substr(0, 60);
        EXPECT_THAT(answer, HasSubstr(row.error)) << row.request.substr(0, 60);
    }
    RawClient allowed(http_->Port());
    allowed.Send("DELETE /metrics HTTP/1.1\r\n\r\n");
    EXPECT_THAT(allowed.Receive(1000ms, "\r\n\r\n"), HasSubstr("Allow: GET\r\n"));
}

TEST_F(HttpControlTest, ChunkedBodiesContinueAndPipelinedRequestsAreAnsweredInOrder)
{
    Serve("");
    RawClient client(http_->Port());
    client.Send("PUT /devices/thermo:3/temperature HTTP/1.1\r\nContent-Type: application/json\r\nExpect: 100-continue\r\nContent-Length: 13\r\n\r\n");
    EXPECT_THAT(client.Receive(1000ms, "\r\n\r\n"), StartsWith("HTTP/1.1 100 Continue\r\n\r\n"));
    client.Send("{\"value\": 41}");
    EXPECT_THAT(client.Receive(1000ms, "\"temperature\":41"), HasSubstr("HTTP/1.1 200 OK"));

    RawClient pipelined(http_->Port());
    pipelined.Send("PUT /devices/thermo:3/temperature HTTP/1.1\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n"
                   "5\r\n{\"val\r\n8\r\nue\": 43}\r\n0\r\n\r\n"
                   "GET /devices/thermo:3 HTTP/1.1\r\n\r\nGET /nothing HTTP/1.1\r\nConnection: close\r\n\r\n");
    const std::string answers = pipelined.Receive(2000ms);
    const std::size_t first = answers.find("\"temperature\":43");
    const std::size_t second = answers.find("\"temperature\":43", first + 1);
    const std::size_t third = answers.find("404 Not Found");
    EXPECT_NE(first, std::string::npos);
    EXPECT_NE(second, std::string::npos);
    EXPECT_NE(third, std::string::npos);
    EXPECT_LT(second, third);
    EXPECT_TRUE(pipelined.Closed());
}

TEST_F(HttpControlTest, ARequestSentTooSlowlyIsClosedWith408AndIdleClientsAfterTheirTime)
{
    control::http::ConnectionSettings quick;
    quick.requestTimeout = 300ms;
    quick.idleTimeout = 300ms;
    Serve("", quick);
    RawClient slow(http_->Port());
    std::string answer;
    for (const char c : std::string("GET /devices HTTP/1.1\r\n")) {
        slow.Send(std::string(1, c));
        answer = slow.Receive(30ms);
        if (!answer.empty())
            break;
    }
    answer = slow.Receive(1000ms);
    EXPECT_THAT(answer, StartsWith("HTTP/1.1 408 "));
    EXPECT_THAT(answer, HasSubstr("did not arrive whole"));
    EXPECT_TRUE(slow.Closed());
    RawClient idle(http_->Port());
    EXPECT_EQ(idle.Receive(1000ms), "");
    EXPECT_TRUE(idle.Closed());

    // A keep-alive connection's second request is held to the same time.
    RawClient kept(http_->Port());
    kept.Send("GET /devices HTTP/1.1\r\n\r\n");
    EXPECT_THAT(kept.Receive(1000ms, "]"), StartsWith("HTTP/1.1 200 "));
    kept.Send("GET /dev");
    const std::string second = kept.Receive(1000ms, "did not arrive whole");
    EXPECT_THAT(second, HasSubstr("HTTP/1.1 408 "));
}

TEST_F(HttpControlTest, EveryAnswerKeepsOtherSitesFromFramingOrFeedingThePage)
{
    Serve("s3cret");
    for (const char* path : {"/", "/devices", "/nothing"}) {
        const auto answer = Client().Get(path, {{"Authorization", "Bearer s3cret"}});
        ASSERT_TRUE(answer) << path;
        EXPECT_THAT(answer->get_header_value("Content-Security-Policy"), HasSubstr("frame-ancestors 'none'")) << path;
        EXPECT_THAT(answer->get_header_value("Content-Security-Policy"), HasSubstr("default-src 'self'")) << path;
        EXPECT_EQ(answer->get_header_value("X-Frame-Options"), "DENY") << path;
    }
    // The page opened with its token goes on at its address without it, the cookie set.
    const auto opened = Client().Get("/?token=s3cret");
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->status, 303);
    EXPECT_EQ(opened->get_header_value("Location"), "/");
    EXPECT_THAT(opened->get_header_value("Set-Cookie"), StartsWith("mimicbox_token=s3cret;"));
    EXPECT_EQ(Client().Get("/", {{"Host", "localhost:1@evil.example"}, {"Cookie", "mimicbox_token=s3cret"}})->status, 403);
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

TEST_F(HttpControlTest, EventsStreamFromASequenceNumberToTheEndOfTheRun)
{
    Serve("");
    std::this_thread::sleep_for(600ms);
    RawClient stream(http_->Port());
    stream.Send("GET /events?since=0 HTTP/1.1\r\n\r\n");
    const std::string first = stream.Receive(2000ms, "\"event\":\"sent\"");
    EXPECT_THAT(first, HasSubstr("id: 0\ndata: {"));
    // A client that reads by the head's word must be told that chunks come, not an empty body.
    const std::string head = first.substr(0, first.find("\r\n\r\n"));
    EXPECT_THAT(head, HasSubstr("Transfer-Encoding: chunked"));
    EXPECT_THAT(head, Not(HasSubstr("Content-Length")));
    RawClient bad(http_->Port());
    bad.Send("GET /events?since=x HTTP/1.1\r\n\r\n");
    EXPECT_THAT(bad.Receive(1000ms), StartsWith("HTTP/1.1 400 "));
    // An idle client does not hold the end up; the stream gets the closes of the run's end, then ends.
    RawClient idle(http_->Port());
    const auto start = std::chrono::steady_clock::now();
    EndRun();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    const std::string events = stream.Receive(1000ms);
    EXPECT_THAT(events, HasSubstr("\"reason\":\"stopped\""));
    EXPECT_THAT(events, ::testing::EndsWith("0\r\n\r\n"));
    EXPECT_TRUE(stream.Closed());
}
