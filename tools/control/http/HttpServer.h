// The control API's HTTP/1.1 server: its own Asio loop on a thread of its own, so that no client can
// hold up the runner's loop. At most `maxClients` clients are served at once; a new one beyond them
// takes the place of the client that has waited longest without sending a byte of a request, and
// when every one is busy it is answered 503 at once, whatever it sends or does not send. Stop ends idle clients at once and lets
// answers under way finish, for at most two seconds.
#pragma once

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "tools/control/http/HttpConnection.h"
#include "tools/control/http/HttpMessage.h"
#include "tools/control/http/RefusedClient.h"
#include "tools/io/Listener.h"

namespace mimicbox::control::http {

class HttpServer {
public:
    HttpServer(ErrorResponse error, std::size_t maxClients = 64, ConnectionSettings settings = {});
    ~HttpServer();

    // Binds to the IPv4 or IPv6 address and port (0 picks a free one); false with a message.
    bool Listen(const std::string& address, unsigned port, std::string& error);
    unsigned Port() const { return port_; }
    // Serves on a thread of its own until Stop, handing requests to `handler`, which must outlive
    // the server.
    void Start(HttpHandler& handler);
    // Stops accepting, closes idle clients, lets answers under way end (two seconds at most), and
    // returns once the thread has ended.
    void Stop();

    // The server's own loop, for answers handed over from other threads.
    asio::io_context& Context() { return context_; }

private:
    void OnAccepted(asio::ip::tcp::socket socket);
    void Refuse(asio::ip::tcp::socket socket);
    // Closes the client idle longest; false when none is idle.
    bool CloseLongestIdle();
    void BeginStop();
    // Takes a closed client out later, from the loop, never from inside its own call.
    std::function<void()> Forget(bool refused, uint64_t id);
    void EndIfDone();

    HttpHandler* handler_ = nullptr;
    ErrorResponse error_;
    std::size_t maxClients_;
    ConnectionSettings settings_;
    asio::io_context context_{1};
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work_;
    io::Listener listener_;
    asio::steady_timer deadline_;
    // By an id of their own; taken out, from the loop, once closed.
    std::map<uint64_t, std::shared_ptr<HttpConnection>> clients_;
    std::map<uint64_t, std::shared_ptr<RefusedClient>> refused_;
    uint64_t nextId_ = 0;
    std::thread thread_;
    unsigned port_ = 0;
    bool stopping_ = false;
};

}  // namespace mimicbox::control::http
