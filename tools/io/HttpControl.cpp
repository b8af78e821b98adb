#include "tools/io/HttpControl.h"

#include <asio/post.hpp>
#include <future>
#include <httplib.h>

namespace mimicbox::io {

namespace {

constexpr std::size_t kMaxBody = 1 << 20;
constexpr std::size_t kMaxClients = 64;
// A loop that does not answer in this time has ended (the run is stopping).
constexpr auto kLoopTimeout = std::chrono::seconds(5);

control::Response JsonError(int status, const std::string& message)
{
    return {status, "{\"error\":\"" + message + "\"}\n", "application/json"};
}

}  // namespace

HttpControl::HttpControl(asio::io_context& context, Handler handle, std::string token)
    : context_(context), handle_(std::move(handle)), token_(std::move(token)), server_(std::make_unique<httplib::Server>())
{
    server_->new_task_queue = [] { return new httplib::ThreadPool(kMaxClients); };
    server_->set_payload_max_length(kMaxBody);
    server_->set_keep_alive_max_count(16);
    server_->set_read_timeout(5, 0);
    server_->set_write_timeout(5, 0);
    const auto serve = [this](const httplib::Request& in, httplib::Response& out) {
        control::Response answer;
        if (!token_.empty() && in.get_header_value("Authorization") != "Bearer " + token_)
            answer = JsonError(401, "a bearer token is needed");
        else
            answer = Dispatch({in.method, in.path, in.body});
        out.status = answer.status;
        out.set_content(answer.body, answer.contentType.c_str());
    };
    const char* everything = R"(/.*)";
    server_->Get(everything, serve);
    server_->Put(everything, serve);
    server_->Post(everything, serve);
    server_->Delete(everything, serve);
    server_->Patch(everything, serve);
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
    return true;
}

void HttpControl::Start()
{
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

void HttpControl::Stop()
{
    if (!thread_.joinable())
        return;
    server_->stop();
    thread_.join();
}

control::Response HttpControl::Dispatch(const control::Request& request)
{
    // The loop answers; the promise is shared so that a late answer after a timeout harms nothing.
    auto answer = std::make_shared<std::promise<control::Response>>();
    std::future<control::Response> future = answer->get_future();
    asio::post(context_, [handle = handle_, answer, request] { answer->set_value(handle(request)); });
    if (future.wait_for(kLoopTimeout) != std::future_status::ready)
        return JsonError(503, "the run is ending");
    return future.get();
}

}  // namespace mimicbox::io
