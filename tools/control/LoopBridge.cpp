#include "tools/control/LoopBridge.h"

#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <atomic>
#include <chrono>

namespace mimicbox::control {

namespace {

// A loop that does not take a request up in this time is held up or has ended.
constexpr auto kLoopTimeout = std::chrono::seconds(5);

}  // namespace

struct LoopBridge::Pending {
    explicit Pending(asio::io_context& http) : timer(http) {}
    std::atomic<bool> claimed{false};
    std::atomic<bool> answered{false};
    http::Responder respond;
    asio::steady_timer timer;
};

http::HttpResponse ToHttp(Response response)
{
    Render(response);
    http::HttpResponse out;
    out.status = response.status;
    out.contentType = std::move(response.contentType);
    out.body = std::move(response.body);
    out.headers = std::move(response.headers);
    out.headers.insert(out.headers.end(), SafetyHeaders().begin(), SafetyHeaders().end());
    out.stream = std::move(response.stream);
    return out;
}

LoopBridge::LoopBridge(asio::io_context& loop, asio::io_context& http, Dispatch dispatch, AccessRules rules)
    : loop_(loop), http_(http), dispatch_(std::move(dispatch)), rules_(std::move(rules))
{
}

void LoopBridge::Handle(http::HttpRequest request, http::Responder respond)
{
    const GuardAnswer guard = CheckRequest(request, rules_);
    if (guard.status != 0) {
        http::HttpResponse refused = ToHttp(JsonError(guard.status, guard.message));
        if (guard.status == 401)
            refused.headers.emplace_back("WWW-Authenticate", "Bearer");
        respond(std::move(refused));
        return;
    }
    if (!guard.redirect.empty()) {
        http::HttpResponse moved = ToHttp(Response(303, ""));
        moved.contentType = "text/plain";
        moved.headers.emplace_back("Location", guard.redirect);
        moved.headers.emplace_back("Set-Cookie", guard.setCookie);
        moved.headers.emplace_back("Cache-Control", "no-store");
        respond(std::move(moved));
        return;
    }
    auto pending = std::make_shared<Pending>(http_);
    pending->respond = std::move(respond);
    if (!guard.setCookie.empty()) {
        pending->respond = [respond = std::move(pending->respond), cookie = guard.setCookie](http::HttpResponse response) {
            response.headers.emplace_back("Set-Cookie", cookie);
            respond(std::move(response));
        };
    }
    if (stopped_) {
        Refuse(pending, 503, "the run is ending");
        return;
    }
    pending_.insert(pending);
    pending->timer.expires_after(kLoopTimeout);
    pending->timer.async_wait([this, pending](const std::error_code& error) {
        if (!error)
            Refuse(pending, 503, "the run is ending or held up; try again");
    });
    Request call{std::move(request.method), std::move(request.path), std::move(request.body), std::move(request.query)};
    asio::post(loop_, [this, pending, call = std::move(call)] {
        if (refusing_ || pending->claimed.exchange(true))
            return;
        Reply reply = [this, pending](Response response) {
            if (pending->answered.exchange(true))
                return;
            asio::post(http_, [this, pending, response = std::move(response)]() mutable {
                pending->timer.cancel();
                pending_.erase(pending);
                pending->respond(ToHttp(std::move(response)));
            });
        };
        // Nothing a client sends may end the runner: whatever a handler throws ends here.
        try {
            dispatch_(call, reply);
        } catch (const std::exception& failure) {
            reply(JsonError(500, std::string("the request failed: ") + failure.what()));
        } catch (...) {
            reply(JsonError(500, "the request failed"));
        }
    });
}

void LoopBridge::Refuse(const std::shared_ptr<Pending>& pending, int status, const std::string& message)
{
    pending_.erase(pending);
    if (pending->claimed.exchange(true))
        return;
    pending->timer.cancel();
    pending->respond(ToHttp(JsonError(status, message)));
}

void LoopBridge::StopTaking()
{
    refusing_ = true;
    asio::post(http_, [this] {
        stopped_ = true;
        const auto waiting = pending_;
        for (const auto& pending : waiting)
            Refuse(pending, 503, "the run is ending");
    });
}

}  // namespace mimicbox::control
