#include "tools/control/http/HttpServer.h"

#include <asio/post.hpp>
#include <chrono>

#include "tools/control/http/ResponseText.h"

namespace mimicbox::control::http {

namespace {

// Clients refused beyond this many at once are closed without waiting for them to read the answer.
constexpr std::size_t kMaxLingering = 256;
constexpr auto kStopDeadline = std::chrono::seconds(2);

}  // namespace

HttpServer::HttpServer(ErrorResponse error, std::size_t maxClients, ConnectionSettings settings)
    : error_(std::move(error)), maxClients_(maxClients), settings_(settings),
      work_(asio::make_work_guard(context_)),
      listener_(
          context_, [this](asio::ip::tcp::socket socket) { OnAccepted(std::move(socket)); },
          [](const std::string&) {}),
      deadline_(context_)
{
}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::Listen(const std::string& address, unsigned port, std::string& error)
{
    if (!listener_.Listen(address, port, error)) {
        error = "cannot serve the control API: " + error;
        return false;
    }
    port_ = listener_.Port();
    return true;
}

void HttpServer::Start(HttpHandler& handler)
{
    handler_ = &handler;
    thread_ = std::thread([this] { context_.run(); });
}

void HttpServer::Stop()
{
    if (!thread_.joinable())
        return;
    asio::post(context_, [this] { BeginStop(); });
    thread_.join();
}

void HttpServer::OnAccepted(asio::ip::tcp::socket socket)
{
    if (stopping_)
        return;
    if (clients_.size() >= maxClients_ && !CloseLongestIdle()) {
        Refuse(std::move(socket));
        return;
    }
    const uint64_t id = nextId_++;
    auto client = std::make_shared<HttpConnection>(std::move(socket), *handler_, error_, settings_, Forget(false, id));
    clients_.emplace(id, client);
    client->Start();
}

bool HttpServer::CloseLongestIdle()
{
    auto longest = clients_.end();
    for (auto it = clients_.begin(); it != clients_.end(); ++it) {
        if (it->second->Idle() && (longest == clients_.end() || it->second->IdleSince() < longest->second->IdleSince()))
            longest = it;
    }
    if (longest == clients_.end())
        return false;
    longest->second->Close();
    clients_.erase(longest);
    return true;
}

void HttpServer::Refuse(asio::ip::tcp::socket socket)
{
    HttpResponse answer = error_(503, "more than " + std::to_string(maxClients_) + " clients at once");
    answer.headers.emplace_back("Retry-After", "1");
    const std::string bytes = ResponseHead(answer, false) + answer.body;
    const uint64_t id = nextId_++;
    auto refused = std::make_shared<RefusedClient>(std::move(socket), Forget(true, id));
    const bool linger = refused_.size() < kMaxLingering;
    if (linger)
        refused_.emplace(id, refused);
    refused->Start(bytes);
    if (!linger)
        refused->Close();
}

std::function<void()> HttpServer::Forget(bool refused, uint64_t id)
{
    return [this, refused, id] {
        asio::post(context_, [this, refused, id] {
            (refused ? refused_.erase(id) : clients_.erase(id));
            EndIfDone();
        });
    };
}

void HttpServer::BeginStop()
{
    stopping_ = true;
    listener_.Close();
    work_.reset();
    // Copies: a client may close, and be forgotten, while the list is walked.
    const auto clients = clients_;
    for (const auto& [id, client] : clients)
        client->Shutdown();
    const auto refused = refused_;
    for (const auto& [id, client] : refused)
        client->Close();
    deadline_.expires_after(kStopDeadline);
    deadline_.async_wait([this](const std::error_code& error) {
        if (error)
            return;
        const auto late = clients_;
        for (const auto& [id, client] : late)
            client->Close();
    });
    EndIfDone();
}

void HttpServer::EndIfDone()
{
    if (stopping_ && clients_.empty() && refused_.empty())
        deadline_.cancel();
}

}  // namespace mimicbox::control::http
