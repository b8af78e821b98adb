// A device's TCP connection to the device server, as the simulation uses it. An interface so that
// tests can run sessions on fake connections (tools/testing) where the program runs Asio sockets.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace mimicbox::sim {

// What a connection reports. Every call comes from the scheduler's loop, never from inside a call
// the handler made; after Close or Reset nothing more is reported.
class ConnectionHandler {
public:
    virtual ~ConnectionHandler() = default;
    virtual void OnConnected() = 0;
    virtual void OnConnectFailed(std::string_view reason) = 0;
    // One read from the socket: at most 4095 bytes, as the dialog reads them.
    virtual void OnChunk(std::string_view chunk) = 0;
    // The server closed the connection, or it broke; the connection is closed.
    virtual void OnLost(std::string_view reason) = 0;
};

class Connection {
public:
    virtual ~Connection() = default;
    // Looks up the server and connects; reports OnConnected or OnConnectFailed.
    virtual void Open() = 0;
    // Queues bytes and sends them as the socket takes them. Ignored unless connected. When the server
    // stops reading and too much waits, the connection is lost ("the server does not read").
    virtual void Write(std::string_view bytes) = 0;
    // Reads nothing more from the socket, so that what the server writes backs up in the kernel's
    // buffers and then in the server; the connection stays open.
    virtual void StopReading() = 0;
    // Ends the connection in an orderly way (FIN) after what is queued, or at once with a reset (RST).
    virtual void Close() = 0;
    virtual void Reset() = 0;
};

// Makes the connection of device number `index`; the handler must outlive the connection.
class ConnectionFactory {
public:
    virtual ~ConnectionFactory() = default;
    virtual std::unique_ptr<Connection> Create(std::size_t index, ConnectionHandler& handler) = 0;
};

}  // namespace mimicbox::sim
