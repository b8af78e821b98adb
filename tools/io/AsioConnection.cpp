#include "tools/io/AsioConnection.h"

#include <asio/ip/tcp.hpp>

#include "tools/io/DeviceLink.h"

namespace mimicbox::io {

namespace {

using asio::ip::tcp;

class AsioConnection : public sim::Connection {
public:
    explicit AsioConnection(std::shared_ptr<DeviceLink> link) : link_(std::move(link)) {}
    ~AsioConnection() override { link_->Close(false); }

    void Open() override { link_->Open(); }
    void Write(std::string_view bytes) override { link_->Write(bytes); }
    void StopReading() override { link_->StopReading(); }
    void Close() override { link_->Close(false); }
    void Reset() override { link_->Close(true); }

private:
    std::shared_ptr<DeviceLink> link_;
};

}  // namespace

AsioNetwork::AsioNetwork(asio::io_context& context, const std::string& host, unsigned port,
                         std::vector<asio::ip::address> sources, std::shared_ptr<UringSender> sender,
                         std::size_t maxUnsent)
    : context_(context),
      resolver_(std::make_shared<HostResolver>(
          context, host, port,
          sources.empty() ? std::nullopt : std::optional<tcp>(sources.front().is_v6() ? tcp::v6() : tcp::v4()))),
      sources_(std::move(sources)),
      buffer_(std::make_shared<ReadBuffer>()), sender_(std::move(sender)), maxUnsent_(maxUnsent)
{
}

std::unique_ptr<sim::Connection> AsioNetwork::Create(std::size_t index, sim::ConnectionHandler& handler)
{
    std::optional<asio::ip::address> source;
    if (!sources_.empty())
        source = sources_[index % sources_.size()];
    DeviceLink::Setup setup{resolver_, source, buffer_, maxUnsent_, sender_, sender_ != nullptr};
    return std::make_unique<AsioConnection>(std::make_shared<DeviceLink>(context_, std::move(setup), handler));
}

bool CheckSourceAddress(asio::io_context& context, const asio::ip::address& address, std::string& error)
{
    tcp::socket probe(context);
    std::error_code result;
    probe.open(address.is_v6() ? tcp::v6() : tcp::v4(), result);
    if (!result)
        probe.bind(tcp::endpoint(address, 0), result);
    if (!result)
        return true;
    error = "cannot use " + address.to_string() + " as a source address: " + result.message();
    return false;
}

}  // namespace mimicbox::io
