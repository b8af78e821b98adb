// A device's connection on Asio: asynchronous lookup, connect (optionally from a given local
// address), a write queue that sends at once when the socket takes it (or with the turn's other
// sends in one io_uring submission), and reads of at most 4095 bytes, as the dialog reads.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/address.hpp>
#include <memory>
#include <string>
#include <vector>

#include "tools/io/DeviceLink.h"
#include "tools/io/HostResolver.h"
#include "tools/io/UringSender.h"
#include "tools/sim/Connection.h"

namespace mimicbox::io {

// What may wait unsent before a connection gives up on a server that does not read.
constexpr std::size_t kMaxUnsent = 16384;

class AsioNetwork : public sim::ConnectionFactory {
public:
    // Device i connects from sources[i % n] when sources are given, all of one family, which is
    // then the server's address's too. The context must outlive every
    // connection's pending work. With a sender, the bytes of one turn go out in one submission.
    // `maxUnsent` is what may wait before a server counts as not reading.
    AsioNetwork(asio::io_context& context, const std::string& host, unsigned port,
                std::vector<asio::ip::address> sources, std::shared_ptr<UringSender> sender = nullptr,
                std::size_t maxUnsent = kMaxUnsent);

    std::unique_ptr<sim::Connection> Create(std::size_t index, sim::ConnectionHandler& handler) override;
    // The server's name looked up once, before any device connects; false with the reason.
    bool ResolveServer(std::string& error) { return resolver_->ResolveNow(error); }

private:
    asio::io_context& context_;
    std::shared_ptr<HostResolver> resolver_;
    std::vector<asio::ip::address> sources_;
    std::shared_ptr<ReadBuffer> buffer_;
    std::shared_ptr<UringSender> sender_;
    std::size_t maxUnsent_;
};

// False with a message when a local address cannot be used as a source (it is not one of this
// machine's).
bool CheckSourceAddress(asio::io_context& context, const asio::ip::address& address, std::string& error);

}  // namespace mimicbox::io
