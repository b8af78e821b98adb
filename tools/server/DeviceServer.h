// The reference device server: it accepts any number of devices, decodes what they send, counts it,
// and sends switch toggles on request or on a timer.
#pragma once

#include <asio/io_context.hpp>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "tools/io/Listener.h"
#include "tools/io/ServerSession.h"
#include "tools/server/ServerOptions.h"
#include "tools/server/ServerStats.h"
#include "tools/sim/Scheduler.h"

namespace mimicbox::server {

class DeviceServer : public io::ServerSessionHandler {
public:
    // Prints on `out` and `err`, which are not owned; the context and scheduler must outlive it.
    DeviceServer(const ServerOptions& options, asio::io_context& context, sim::Scheduler& scheduler, std::FILE* out,
                 std::FILE* err);
    ~DeviceServer() override;

    // Starts listening; false with a message when the address cannot be listened on.
    bool Listen(std::string& error);
    // One typed command: "t SERIAL", "t", "l", "q".
    void OnCommand(std::string_view line);
    // Sends a toggle to every device with the serial, or to every Relay-Box when serial is 0.
    // Returns the number of devices it went to.
    int Toggle(int32_t serial);
    // Closes every connection and the listener, and stops the loop.
    void Stop();

    // io::ServerSessionHandler
    void OnRecord(io::ServerSession& session, std::string_view record) override;
    void OnOverflow(io::ServerSession& session, std::size_t dropped) override;
    void OnClosed(io::ServerSession& session, std::string_view reason) override;

private:
    void OnAccepted(asio::ip::tcp::socket socket);
    void Print(std::FILE* stream, const std::string& peer, const std::string& text);
    // "relay:1001", as the runner names it, once the device has sent a readable report.
    static std::string DeviceLabel(const io::ServerSession& session);
    void List();
    void OnToggleTimer();
    void OnStatsTimer();

    ServerOptions options_;
    asio::io_context& context_;
    sim::Scheduler& scheduler_;
    std::FILE* out_;
    std::FILE* err_;
    io::Listener listener_;
    std::shared_ptr<io::SharedReadBuffer> buffer_;
    std::map<io::ServerSession*, std::shared_ptr<io::ServerSession>> sessions_;
    std::unique_ptr<sim::Timer> toggleTimer_;
    std::unique_ptr<sim::Timer> statsTimer_;
    sim::Instant start_{};
    int64_t toggleTick_ = 0;
    int64_t statsTick_ = 0;
    ServerStats stats_;
    bool stopped_ = false;
};

}  // namespace mimicbox::server
