#include "tools/io/AsioServerNetwork.h"

namespace mimicbox::io {

namespace {

// A session as the server's logic sees it: it forwards the session's reports with itself as the
// connection, and closes the session when the logic lets it go.
class AsioServerConnection : public sim::ServerConnection, public ServerSessionHandler {
public:
    AsioServerConnection(asio::ip::tcp::socket socket, sim::ServerConnectionHandler& handler,
                         std::shared_ptr<SharedReadBuffer> buffer)
        : handler_(handler), session_(std::make_shared<ServerSession>(std::move(socket), *this, std::move(buffer)))
    {
    }
    ~AsioServerConnection() override { session_->Close(); }

    void Start() { session_->Start(); }
    bool Send(std::string_view bytes) override { return session_->Send(bytes); }
    void Close() override { session_->Close(); }
    const std::string& Peer() const override { return session_->Peer(); }

    void OnRecord(ServerSession&, std::string_view record) override { handler_.OnRecord(*this, record); }
    void OnOverflow(ServerSession&, std::size_t dropped) override { handler_.OnOverflow(*this, dropped); }
    void OnClosed(ServerSession&, std::string_view reason) override { handler_.OnClosed(*this, reason); }

private:
    sim::ServerConnectionHandler& handler_;
    std::shared_ptr<ServerSession> session_;
};

}  // namespace

AsioServerNetwork::AsioServerNetwork(asio::io_context& context)
    : buffer_(std::make_shared<SharedReadBuffer>()),
      listener_(
          context, [this](asio::ip::tcp::socket socket) { OnAccepted(std::move(socket)); },
          [this](const std::string& message) {
              if (handler_)
                  handler_->OnTrouble(message);
          })
{
}

bool AsioServerNetwork::Listen(const std::string& address, unsigned port, sim::ServerConnectionHandler& handler,
                               std::string& error)
{
    handler_ = &handler;
    return listener_.Listen(address, port, error);
}

void AsioServerNetwork::OnAccepted(asio::ip::tcp::socket socket)
{
    auto connection = std::make_unique<AsioServerConnection>(std::move(socket), *handler_, buffer_);
    // Its reads are reported from the loop later, once the handler holds it.
    connection->Start();
    handler_->OnAccepted(std::move(connection));
}

}  // namespace mimicbox::io
