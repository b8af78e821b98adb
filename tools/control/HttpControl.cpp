#include "tools/control/HttpControl.h"

namespace mimicbox::control {

HttpControl::HttpControl(asio::io_context& loop, LoopBridge::Dispatch dispatch, AccessRules rules,
                         http::ConnectionSettings settings)
    : server_(std::make_unique<http::HttpServer>(
          [](int status, const std::string& message) { return ToHttp(JsonError(status, message)); }, 64, settings)),
      bridge_(std::make_unique<LoopBridge>(loop, server_->Context(), std::move(dispatch), std::move(rules)))
{
}

HttpControl::~HttpControl() { Stop(); }

bool HttpControl::Listen(const std::string& address, unsigned port, std::string& error)
{
    return server_->Listen(address, port, error);
}

void HttpControl::Start() { server_->Start(*bridge_); }

void HttpControl::StopTaking() { bridge_->StopTaking(); }

void HttpControl::Stop()
{
    bridge_->StopTaking();
    server_->Stop();
}

}  // namespace mimicbox::control
