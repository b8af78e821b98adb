// The reference server's connections for tests, with the devices' side in the test's hands: devices
// connect, send records (already framed) and close, and what the server sends them is kept, up to a
// bound beyond which a device that stopped reading makes Send fail, as the real queue does.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "tools/sim/ServerNetwork.h"

namespace mimicbox::testing {

class FakeServerNetwork : public sim::ServerNetwork {
public:
    bool Listen(const std::string& address, unsigned port, sim::ServerConnectionHandler& handler, std::string& error) override;
    unsigned Port() const override { return port_; }
    void Close() override { listening_ = false; }

    // A device connects from "10.0.0.1:N"; returns its number here.
    std::size_t Connect();
    void SendRecord(std::size_t device, const std::string& record);
    void Overflow(std::size_t device, std::size_t dropped);
    void Disconnect(std::size_t device, const std::string& reason = "closed the connection");
    // The device reads nothing more: what the server sends piles up.
    void StopReading(std::size_t device);

    // What the server sent the device, and whether the server closed it.
    const std::string& Received(std::size_t device) const;
    bool ClosedByServer(std::size_t device) const;
    bool Listening() const { return listening_; }

    static constexpr std::size_t kMaxUnread = 65536;

private:
    class Connection;
    struct DeviceSide {
        Connection* open = nullptr;
        std::string received;
        bool reading = true;
        bool closedByServer = false;
    };

    sim::ServerConnectionHandler* handler_ = nullptr;
    std::vector<DeviceSide> peers_;
    unsigned port_ = 0;
    bool listening_ = false;
};

}  // namespace mimicbox::testing
