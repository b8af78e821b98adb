// The live control's HTTP/1.1 server: cpp-httplib on threads of its own, every request handed to the
// runner's loop and answered from there, so that no state is touched from two threads. Bodies are
// limited to 1 MB (413 beyond), and with a token every request must carry "Authorization: Bearer
// TOKEN" (401 without).
#pragma once

#include <asio/io_context.hpp>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "tools/control/Controller.h"

namespace httplib {
class Server;
}

namespace mimicbox::io {

class HttpControl {
public:
    using Handler = std::function<control::Response(const control::Request&)>;

    // `handle` runs on the context's thread; the context must outlive the server. An empty token
    // lets every request in.
    HttpControl(asio::io_context& context, Handler handle, std::string token);
    ~HttpControl();

    // Binds to the IPv4 address and port (0 picks a free one). False with a message on failure.
    bool Listen(const std::string& address, unsigned port, std::string& error);
    unsigned Port() const { return port_; }
    // Serves until Stop, on its own threads.
    void Start();
    // Stops serving and waits for the server's threads; requests waiting for the loop get 503.
    void Stop();

private:
    control::Response Dispatch(const control::Request& request);

    asio::io_context& context_;
    Handler handle_;
    std::string token_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    unsigned port_ = 0;
};

}  // namespace mimicbox::io
