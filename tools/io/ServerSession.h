// One device's connection at the reference server: records framed out of the stream and handed on,
// and switch toggles sent back through a write queue. Reads go through a buffer all sessions share,
// and a steady stream of records allocates nothing.
#pragma once

#include <array>
#include <asio/ip/tcp.hpp>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tools/io/RecordFramer.h"

namespace mimicbox::io {

class ServerSession;

// What a session reports, from the loop. After OnClosed, or after the session was closed by the
// server itself, nothing more is reported.
class ServerSessionHandler {
public:
    virtual ~ServerSessionHandler() = default;
    virtual void OnRecord(ServerSession& session, std::string_view record) = 0;
    // More than the bound arrived without a NUL; the bytes were dropped.
    virtual void OnOverflow(ServerSession& session, std::size_t dropped) = 0;
    virtual void OnClosed(ServerSession& session, std::string_view reason) = 0;
};

using SharedReadBuffer = std::array<char, 65536>;

// Made with std::make_shared; pending operations keep it alive.
class ServerSession : public std::enable_shared_from_this<ServerSession> {
public:
    ServerSession(asio::ip::tcp::socket socket, ServerSessionHandler& handler, std::shared_ptr<SharedReadBuffer> buffer);

    void Start();
    // Queues bytes for the device; false when so much already waits that the device is not reading.
    bool Send(std::string_view bytes);
    // Closes the connection; the handler hears nothing more.
    void Close();

    const std::string& Peer() const { return peer_; }

    // What the device's reports say it is; 0 until its first readable report.
    int32_t deviceType = 0;
    int32_t serial = 0;

private:
    void WaitForData();
    void OnReadable(std::error_code error);
    void StartWrite();
    void End(std::string reason);

    asio::ip::tcp::socket socket_;
    ServerSessionHandler* handler_;
    std::shared_ptr<SharedReadBuffer> buffer_;
    RecordFramer framer_;
    std::string peer_;
    std::string unsent_;
    std::string sending_;
    bool writing_ = false;
};

}  // namespace mimicbox::io
