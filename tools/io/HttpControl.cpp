#include "tools/io/HttpControl.h"

#include <asio/post.hpp>
#include <atomic>
#include <charconv>
#include <future>
#include <httplib.h>
#include <sys/socket.h>

namespace mimicbox::io {

namespace {

constexpr std::size_t kMaxBody = 1 << 20;
constexpr std::size_t kMaxClients = 64;
// Threads that answer the clients beyond the limit.
constexpr std::size_t kRefusers = 4;
// A loop that does not answer in this time has ended (the run is stopping).
constexpr auto kLoopTimeout = std::chrono::seconds(5);
// How often a waiting request looks whether the server is stopping.
constexpr auto kStopCheck = std::chrono::milliseconds(50);

// How long an event stream waits for news before it checks whether the run is ending.
constexpr auto kEventWait = std::chrono::milliseconds(500);

bool ParseSequence(const std::string& text, uint64_t& value)
{
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc{} && result.ptr == text.data() + text.size();
}

// Set on the threads that serve clients beyond the limit.
thread_local bool tRefusing = false;

// Serves at most kMaxClients connections at once. The ones beyond are answered 503 at once by
// threads of their own, instead of queueing unseen behind long-lived event streams.
class ClientLimit : public httplib::TaskQueue {
public:
    void enqueue(std::function<void()> serve) override
    {
        if (active_.fetch_add(1) < kMaxClients) {
            served_.enqueue([this, serve = std::move(serve)] {
                serve();
                active_.fetch_sub(1);
            });
            return;
        }
        active_.fetch_sub(1);
        refused_.enqueue([serve = std::move(serve)] {
            tRefusing = true;
            serve();
            tRefusing = false;
        });
    }
    void shutdown() override
    {
        served_.shutdown();
        refused_.shutdown();
    }

private:
    std::atomic<std::size_t> active_{0};
    httplib::ThreadPool served_{kMaxClients};
    httplib::ThreadPool refused_{kRefusers};
};

void Answer(control::Response response, httplib::Response& out)
{
    control::Render(response);
    out.status = response.status;
    out.set_content(response.body, response.contentType.c_str());
}

// True when the client is one too many; it is then answered.
bool Refuse(httplib::Response& out)
{
    if (!tRefusing)
        return false;
    Answer(control::JsonError(503, "more than 64 clients at once"), out);
    out.set_header("Connection", "close");
    out.set_header("Retry-After", "1");
    return true;
}

}  // namespace

HttpControl::HttpControl(asio::io_context& context, Handler handle, control::EventFeed& feed, std::string token)
    : context_(context), handle_(std::move(handle)), feed_(feed), token_(std::move(token)),
      server_(std::make_unique<httplib::Server>())
{
    server_->new_task_queue = [] { return new ClientLimit; };
    server_->set_payload_max_length(kMaxBody);
    server_->set_keep_alive_max_count(16);
    // Headers and body go out in separate writes: without this, a client's delayed ACK holds each
    // answer back 40 ms.
    server_->set_tcp_nodelay(true);
    // The library's socket options, and the listening socket kept to widen its backlog in Listen.
    server_->set_socket_options([this](socket_t socket) {
        httplib::default_socket_options(socket);
        listening_ = socket;
    });
    server_->set_read_timeout(5, 0);
    server_->set_write_timeout(5, 0);
    const auto answer = [this](const httplib::Request& in, const std::string& body, httplib::Response& out) {
        Answer(Authorized(in.get_header_value("Authorization")) ? Dispatch({in.method, in.path, body})
                                                                : control::JsonError(401, "a bearer token is needed"),
               out);
    };
    // A request without Content-Length or chunks has no body; read as the library would read it,
    // it would wait for the client to close.
    const auto withBody = [answer](const httplib::Request& in, httplib::Response& out, const httplib::ContentReader& read) {
        if (Refuse(out))
            return;
        std::string body;
        bool tooLarge = false;
        uint64_t length = 0;
        ParseSequence(in.get_header_value("Content-Length"), length);
        if (in.has_header("Content-Length") || in.has_header("Transfer-Encoding")) {
            // The library stops reading past its own limit too; either way the answer is 413.
            const bool whole = read([&](const char* data, std::size_t size) {
                tooLarge = body.size() + size > kMaxBody;
                if (!tooLarge)
                    body.append(data, size);
                return !tooLarge;
            });
            tooLarge = tooLarge || (!whole && length > kMaxBody);
        }
        if (tooLarge) {
            Answer(control::JsonError(413, "the body is over 1 MB"), out);
            return;
        }
        answer(in, body, out);
    };
    const auto withoutBody = [answer](const httplib::Request& in, httplib::Response& out) {
        if (!Refuse(out))
            answer(in, "", out);
    };
    ServeEvents();
    const char* everything = R"(/.*)";
    server_->Get(everything, withoutBody);
    server_->Delete(everything, withoutBody);
    server_->Put(everything, withBody);
    server_->Post(everything, withBody);
    server_->Patch(everything, withBody);
}

HttpControl::~HttpControl() { Stop(); }

bool HttpControl::Listen(const std::string& address, unsigned port, std::string& error)
{
    int bound = -1;
    if (port == 0)
        bound = server_->bind_to_any_port(address);
    else if (server_->bind_to_port(address, static_cast<int>(port)))
        bound = static_cast<int>(port);
    if (bound <= 0) {
        error = "cannot serve the control API on " + address + ":" + std::to_string(port);
        return false;
    }
    port_ = static_cast<unsigned>(bound);
    // The library listens with a backlog of 5: clients that connect at once would wait for SYN
    // retransmits, and take their turns in no order. Listening again widens it.
    ::listen(listening_, SOMAXCONN);
    return true;
}

void HttpControl::Start()
{
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

void HttpControl::ServeEvents()
{
    server_->Get("/events", [this](const httplib::Request& in, httplib::Response& out) {
        if (Refuse(out))
            return;
        uint64_t from = feed_.Next();
        const std::string since = in.get_param_value("since");
        control::Response refused;
        if (!Authorized(in.get_header_value("Authorization")))
            refused = control::JsonError(401, "a bearer token is needed");
        else if (in.has_param("since") && !ParseSequence(since, from))
            refused = control::JsonError(400, "since: a sequence number is needed");
        if (refused.status != 200) {
            Answer(refused, out);
            return;
        }
        out.set_header("Cache-Control", "no-cache");
        out.set_chunked_content_provider("text/event-stream", [this, from](std::size_t, httplib::DataSink& sink) mutable {
            for (const auto& [number, line] : feed_.From(from, kEventWait)) {
                const std::string message = "id: " + std::to_string(number) + "\ndata: " + line + "\n\n";
                if (!sink.write(message.data(), message.size()))
                    return false;
                from = number + 1;
            }
            if (feed_.Closed())
                sink.done();
            return true;
        });
    });
}

void HttpControl::Stop()
{
    stopping_ = true;
    feed_.Close();
    if (!thread_.joinable())
        return;
    server_->stop();
    thread_.join();
}

control::Response HttpControl::Dispatch(const control::Request& request)
{
    // Either the loop claims the request and answers it, or the waiter claims it and answers 503:
    // a request refused for a busy or ending loop never takes effect afterwards.
    struct Pending {
        std::atomic<bool> claimed{false};
        std::promise<control::Response> answer;
    };
    auto pending = std::make_shared<Pending>();
    std::future<control::Response> future = pending->answer.get_future();
    asio::post(context_, [handle = handle_, pending, request] {
        if (!pending->claimed.exchange(true))
            pending->answer.set_value(handle(request));
    });
    const auto deadline = std::chrono::steady_clock::now() + kLoopTimeout;
    while (future.wait_for(kStopCheck) != std::future_status::ready) {
        if ((stopping_ || std::chrono::steady_clock::now() >= deadline) && !pending->claimed.exchange(true))
            return control::JsonError(503, "the run is ending");
    }
    return future.get();
}

}  // namespace mimicbox::io
