// The reference server's connections on Asio: a listener that keeps accepting when descriptors run
// out, and each device's session with its record framer and write queue.
#pragma once

#include <asio/io_context.hpp>
#include <memory>

#include "tools/io/Listener.h"
#include "tools/io/ServerSession.h"
#include "tools/sim/ServerNetwork.h"

namespace mimicbox::io {

class AsioServerNetwork : public sim::ServerNetwork {
public:
    // The context must outlive the network and its connections.
    explicit AsioServerNetwork(asio::io_context& context);

    bool Listen(const std::string& address, unsigned port, sim::ServerConnectionHandler& handler, std::string& error) override;
    unsigned Port() const override { return listener_.Port(); }
    void Close() override { listener_.Close(); }

private:
    void OnAccepted(asio::ip::tcp::socket socket);

    sim::ServerConnectionHandler* handler_ = nullptr;
    std::shared_ptr<SharedReadBuffer> buffer_;
    Listener listener_;
};

}  // namespace mimicbox::io
