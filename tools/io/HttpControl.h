// The live control's HTTP/1.1 server: cpp-httplib on threads of its own, every request handed to the
// runner's loop and answered from there, so that no state is touched from two threads. Bodies are
// limited to 1 MB (413 beyond), at most 64 clients are served at once (503 beyond), and with a token
// every request must carry "Authorization: Bearer TOKEN" (401 without).
#pragma once

#include <asio/io_context.hpp>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "tools/control/Controller.h"
#include "tools/control/EventFeed.h"

namespace httplib {
class Server;
}

namespace mimicbox::io {

class HttpControl {
public:
    using Handler = std::function<control::Response(const control::Request&)>;

    // `handle` runs on the context's thread; the context and the feed (which serves GET /events as
    // Server-Sent Events, from now on or from ?since=SEQ) must outlive the server. An empty token lets
    // every request in.
    HttpControl(asio::io_context& context, Handler handle, control::EventFeed& feed, std::string token);
    ~HttpControl();

    // Binds to the IPv4 address and port (0 picks a free one). False with a message on failure.
    bool Listen(const std::string& address, unsigned port, std::string& error);
    unsigned Port() const { return port_; }
    // Serves until Stop, on its own threads.
    void Start();
    // Closes the feed, stops serving and waits for the server's threads; requests the loop has not
    // taken up get 503 at once, and are never carried out.
    void Stop();

private:
    bool Authorized(const std::string& header) const { return token_.empty() || header == "Bearer " + token_; }
    control::Response Dispatch(const control::Request& request);
    void ServeEvents();

    asio::io_context& context_;
    Handler handle_;
    control::EventFeed& feed_;
    std::string token_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    unsigned port_ = 0;
    int listening_ = -1;
    std::atomic<bool> stopping_{false};
};

}  // namespace mimicbox::io
