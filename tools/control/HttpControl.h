// The control API over HTTP/1.1: the server on a thread of its own, and the bridge that hands each
// request to the runner's loop. Every error the server or the API gives is {"error": "..."}.
#pragma once

#include <asio/io_context.hpp>
#include <memory>
#include <string>

#include "tools/control/LoopBridge.h"
#include "tools/control/http/HttpServer.h"

namespace mimicbox::control {

class HttpControl {
public:
    // `dispatch` runs on `loop`'s thread; the rules say what a request must show. The settings are the
    // server's time limits, shorter in tests.
    HttpControl(asio::io_context& loop, LoopBridge::Dispatch dispatch, AccessRules rules,
                http::ConnectionSettings settings = {});
    ~HttpControl();

    // Binds to the IPv4 or IPv6 address and port (0 picks a free one); false with a message.
    bool Listen(const std::string& address, unsigned port, std::string& error);
    unsigned Port() const { return server_->Port(); }
    void Start();
    // Requests the loop has not taken up get 503 from now on, and are never carried out.
    void StopTaking();
    // Ends idle clients at once and lets answers and event streams under way end, within 2 s.
    void Stop();

private:
    std::unique_ptr<http::HttpServer> server_;
    std::unique_ptr<LoopBridge> bridge_;
};

}  // namespace mimicbox::control
