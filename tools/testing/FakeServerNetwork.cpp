#include "tools/testing/FakeServerNetwork.h"

namespace mimicbox::testing {

class FakeServerNetwork::Connection : public sim::ServerConnection {
public:
    Connection(FakeServerNetwork& network, std::size_t index)
        : network_(network), index_(index), peer_("10.0.0.1:" + std::to_string(40000 + index))
    {
        network_.peers_[index_].open = this;
    }
    ~Connection() override { Detach(); }

    bool Send(std::string_view bytes) override
    {
        DeviceSide& peer = network_.peers_[index_];
        if (!peer.reading && peer.received.size() + bytes.size() > kMaxUnread)
            return false;
        peer.received.append(bytes);
        return true;
    }
    void Close() override
    {
        if (network_.peers_[index_].open == this)
            network_.peers_[index_].closedByServer = true;
        Detach();
    }
    const std::string& Peer() const override { return peer_; }

private:
    void Detach()
    {
        if (network_.peers_[index_].open == this)
            network_.peers_[index_].open = nullptr;
    }

    FakeServerNetwork& network_;
    std::size_t index_;
    std::string peer_;
};

bool FakeServerNetwork::Listen(const std::string&, unsigned port, sim::ServerConnectionHandler& handler, std::string&)
{
    handler_ = &handler;
    port_ = port == 0 ? 41234 : port;
    listening_ = true;
    return true;
}

std::size_t FakeServerNetwork::Connect()
{
    peers_.emplace_back();
    const std::size_t index = peers_.size() - 1;
    handler_->OnAccepted(std::make_unique<Connection>(*this, index));
    return index;
}

void FakeServerNetwork::SendRecord(std::size_t device, const std::string& record)
{
    if (Connection* open = peers_[device].open)
        handler_->OnRecord(*open, record);
}

void FakeServerNetwork::Overflow(std::size_t device, std::size_t dropped)
{
    if (Connection* open = peers_[device].open)
        handler_->OnOverflow(*open, dropped);
}

void FakeServerNetwork::Disconnect(std::size_t device, const std::string& reason)
{
    if (Connection* open = peers_[device].open)
        handler_->OnClosed(*open, reason);
}

void FakeServerNetwork::StopReading(std::size_t device) { peers_[device].reading = false; }

const std::string& FakeServerNetwork::Received(std::size_t device) const { return peers_[device].received; }

bool FakeServerNetwork::ClosedByServer(std::size_t device) const { return peers_[device].closedByServer; }

}  // namespace mimicbox::testing
