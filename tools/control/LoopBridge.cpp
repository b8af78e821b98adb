#include "tools/control/LoopBridge.h"

#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <atomic>
#include <chrono>

namespace mimicbox::control {

namespace {

// A loop that does not take a request up in this time is held up or has ended.
constexpr auto kLoopTimeout = std::chrono::seconds(5);

std::string Lower(std::string text)
{
    for (char& c : text)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

// Compares without an early exit, so that the time taken tells nothing of where a token differs.
bool SameText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char differ = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        differ |= static_cast<unsigned char>(a[i] ^ b[i]);
    return differ == 0;
}

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
    out.stream = std::move(response.stream);
    return out;
}

LoopBridge::LoopBridge(asio::io_context& loop, asio::io_context& http, Dispatch dispatch, std::string token)
    : loop_(loop), http_(http), dispatch_(std::move(dispatch)), token_(std::move(token))
{
}

bool LoopBridge::Authorized(const http::HttpRequest& request) const
{
    if (token_.empty())
        return true;
    const std::string* header = request.Header("authorization");
    if (!header)
        return false;
    const std::size_t space = header->find(' ');
    // The scheme is read without regard to case, as HTTP has it.
    return space != std::string::npos && Lower(header->substr(0, space)) == "bearer" &&
           SameText(header->substr(header->find_first_not_of(' ', space)), token_);
}

void LoopBridge::Handle(http::HttpRequest request, http::Responder respond)
{
    if (!Authorized(request)) {
        http::HttpResponse refused = ToHttp(JsonError(401, "a bearer token is needed"));
        refused.headers.emplace_back("WWW-Authenticate", "Bearer");
        respond(std::move(refused));
        return;
    }
    auto pending = std::make_shared<Pending>(http_);
    pending->respond = std::move(respond);
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
