// The reference server's side of the devices' connections. Interfaces, so that the server's logic
// runs on fake connections in tests (tools/testing) where the program runs Asio sockets, as the
// devices' own connections do.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace mimicbox::sim {

// One device's connection at the server.
class ServerConnection {
public:
    virtual ~ServerConnection() = default;
    // Queues bytes for the device; false when so much already waits that the device is not reading.
    virtual bool Send(std::string_view bytes) = 0;
    // Closes the connection; nothing more is reported of it.
    virtual void Close() = 0;
    // "127.0.0.1:51852"
    virtual const std::string& Peer() const = 0;
};

// What the connections report, from the loop.
class ServerConnectionHandler {
public:
    virtual ~ServerConnectionHandler() = default;
    // A device connected; the handler owns its connection from now on.
    virtual void OnAccepted(std::unique_ptr<ServerConnection> connection) = 0;
    // One record, without its NUL.
    virtual void OnRecord(ServerConnection& connection, std::string_view record) = 0;
    // More than a record's bound arrived without a NUL; the bytes were dropped.
    virtual void OnOverflow(ServerConnection& connection, std::size_t dropped) = 0;
    // The device closed the connection, or it broke; the connection is closed.
    virtual void OnClosed(ServerConnection& connection, std::string_view reason) = 0;
    // Accepting failed for a while (the process has no descriptor left), and goes on.
    virtual void OnTrouble(const std::string& message) = 0;
};

class ServerNetwork {
public:
    virtual ~ServerNetwork() = default;
    // Listens on the IPv4 or IPv6 address and port (0 picks a free one), reporting to `handler`, which must
    // outlive the network. False with a message.
    virtual bool Listen(const std::string& address, unsigned port, ServerConnectionHandler& handler, std::string& error) = 0;
    // The port listened on.
    virtual unsigned Port() const = 0;
    // Accepts no more.
    virtual void Close() = 0;
};

}  // namespace mimicbox::sim
