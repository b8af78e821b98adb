// The bridge from the HTTP server's thread to the runner's loop: the request guard looks at each
// request on the HTTP thread, then it is handed to the loop, and its answer back. Either the loop takes a
// request up and answers it, or, when the loop does not take it within 5 s or the run is ending, the
// bridge answers 503; a request refused so is never carried out afterwards.
#pragma once

#include <asio/io_context.hpp>
#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "tools/control/RequestGuard.h"
#include "tools/control/Response.h"
#include "tools/control/http/HttpMessage.h"

namespace mimicbox::control {

class LoopBridge : public http::HttpHandler {
public:
    // Runs on the loop's thread, and answers once, there or later.
    using Dispatch = std::function<void(const Request& request, Reply reply)>;

    // `http` is the server's own loop, where answers are written. Both loops must outlive the bridge's
    // work.
    LoopBridge(asio::io_context& loop, asio::io_context& http, Dispatch dispatch, AccessRules rules);

    void Handle(http::HttpRequest request, http::Responder respond) override;
    // From any thread: requests the loop has not taken up get 503 at once, and so do new ones.
    void StopTaking();

private:
    struct Pending;
    void Refuse(const std::shared_ptr<Pending>& pending, int status, const std::string& message);

    asio::io_context& loop_;
    asio::io_context& http_;
    Dispatch dispatch_;
    AccessRules rules_;
    std::set<std::shared_ptr<Pending>> pending_;  // on the HTTP thread
    bool stopped_ = false;                        // on the HTTP thread
    // Set at once by StopTaking, so that the loop takes nothing up after it, even before the HTTP
    // thread has refused what waits.
    std::atomic<bool> refusing_{false};
};

// The control API's answer as the HTTP server writes it; rendered, so on the HTTP thread.
http::HttpResponse ToHttp(Response response);

}  // namespace mimicbox::control
