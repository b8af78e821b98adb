// The reference device server: it accepts any number of devices, decodes what they send, counts it,
// and sends switch toggles on request or on a timer. Its connections, timers and output are seams:
// it runs on Asio and prints in the program, and on fakes in tests.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "tools/server/ServerEvent.h"
#include "tools/server/ServerOptions.h"
#include "tools/server/ServerStats.h"
#include "tools/sim/RepeatTimer.h"
#include "tools/sim/Scheduler.h"
#include "tools/sim/ServerNetwork.h"

namespace mimicbox::server {

class DeviceServer : public sim::ServerConnectionHandler {
public:
    // The scheduler, network and sink must outlive the server. `onStopped` ends the program's loop.
    DeviceServer(const ServerOptions& options, sim::Scheduler& scheduler, sim::ServerNetwork& network, ServerSink& sink,
                 std::function<void()> onStopped);
    ~DeviceServer() override;

    // Starts listening; false with a message when the address cannot be listened on.
    bool Listen(std::string& error);
    // One typed command: "t SERIAL", "t", "l", "q".
    void OnCommand(std::string_view line);
    // Sends a toggle to every device with the serial, or to every Relay-Box when serial is 0.
    // Returns the number of devices it went to.
    int Toggle(int32_t serial);
    // Closes every connection and stops listening; the last stats line first, when kept.
    void Stop();

    // sim::ServerConnectionHandler
    void OnAccepted(std::unique_ptr<sim::ServerConnection> connection) override;
    void OnRecord(sim::ServerConnection& connection, std::string_view record) override;
    void OnOverflow(sim::ServerConnection& connection, std::size_t dropped) override;
    void OnClosed(sim::ServerConnection& connection, std::string_view reason) override;
    void OnTrouble(const std::string& message) override;

private:
    // A connection and what its reports say the device is.
    struct Device {
        std::unique_ptr<sim::ServerConnection> connection;
        DeviceIdentity identity{0, 0};
    };

    ServerEvent Make(ServerEvent::Kind kind, const sim::ServerConnection* connection = nullptr) const;
    void Emit(ServerEvent event) { sink_.OnEvent(event); }
    void List();
    void Refuse(const std::string& why);
    void OnStatsDue();

    ServerOptions options_;
    sim::Scheduler& scheduler_;
    sim::ServerNetwork& network_;
    ServerSink& sink_;
    std::function<void()> onStopped_;
    std::map<const sim::ServerConnection*, Device> devices_;
    sim::RepeatTimer toggleTimer_;
    sim::RepeatTimer statsTimer_;
    sim::Instant statsWindow_{};  // when the stats line's window began
    ServerStats stats_;
    bool stopped_ = false;
};

}  // namespace mimicbox::server
