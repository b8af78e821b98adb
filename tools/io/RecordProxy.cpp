#include "tools/io/RecordProxy.h"

#include <cstdio>

namespace mimicbox::io {

RecordProxy::RecordProxy(asio::io_context& context, capture::CaptureWriter& writer, asio::ip::tcp::endpoint server,
                         std::shared_ptr<UringSender> sender)
    : writer_(writer), server_(std::move(server)), sender_(std::move(sender)),
      listener_(
          context, [this](asio::ip::tcp::socket socket) { Accept(std::move(socket)); },
          [](const std::string& message) { std::fprintf(stderr, "mimicbox-cli record: %s\n", message.c_str()); })
{
}

bool RecordProxy::Listen(const std::string& address, unsigned port, std::string& error)
{
    return listener_.Listen(address, port, error);
}

void RecordProxy::Accept(asio::ip::tcp::socket socket)
{
    const uint64_t conn = next_++;
    auto session = std::make_shared<ProxySession>(std::move(socket), server_, conn, *this, sender_,
                                                  [this, conn] { sessions_.erase(conn); });
    sessions_[conn] = session;
    session->Start();
}

void RecordProxy::Stop()
{
    listener_.Close();
    // Stopping a session erases it from the map.
    const auto sessions = sessions_;
    for (const auto& [conn, weak] : sessions)
        if (const auto session = weak.lock())
            session->Stop();
}

void RecordProxy::Record(capture::CaptureEvent event)
{
    const auto now = std::chrono::steady_clock::now();
    event.t = std::chrono::duration<double>(now - start_).count();
    event.wall = std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::system_clock::now().time_since_epoch()).count();
    writer_.Add(std::move(event));
}

}  // namespace mimicbox::io
