// The recording proxy: accepts devices on one address, connects each to the server, and records what
// passes into a capture, stamped with the capture's two clocks.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "tools/capture/CaptureWriter.h"
#include "tools/io/Listener.h"
#include "tools/io/ProxySession.h"

namespace mimicbox::io {

class RecordProxy : public ProxyRecorder {
public:
    // `sender`: io_uring's batched sends, or none for one send() a chunk.
    RecordProxy(asio::io_context& context, capture::CaptureWriter& writer, asio::ip::tcp::endpoint server,
                std::shared_ptr<UringSender> sender);

    bool Listen(const std::string& address, unsigned port, std::string& error);
    unsigned Port() const { return listener_.Port(); }
    // Stops accepting and closes every connection in order.
    void Stop();
    uint64_t Connections() const { return next_ - 1; }

    void Record(capture::CaptureEvent event) override;
    bool Congested() const override { return writer_.Congested(); }

private:
    void Accept(asio::ip::tcp::socket socket);

    capture::CaptureWriter& writer_;
    asio::ip::tcp::endpoint server_;
    std::shared_ptr<UringSender> sender_;
    Listener listener_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::map<uint64_t, std::weak_ptr<ProxySession>> sessions_;
    uint64_t next_ = 1;
};

}  // namespace mimicbox::io
