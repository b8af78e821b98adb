#include "tools/io/Listener.h"

#include "tools/io/EndpointText.h"

namespace mimicbox::io {

namespace {

// How long accepting pauses when the process has no descriptor left.
constexpr auto kPauseWhenFull = std::chrono::milliseconds(100);

}  // namespace

// The pending accept and the pause timer hold the state, so that either may outlive the listener.
struct Listener::State : std::enable_shared_from_this<State> {
    State(asio::io_context& context, OnAccept accepted, OnTrouble trouble)
        : acceptor(context), pause(context), onAccept(std::move(accepted)), onTrouble(std::move(trouble))
    {
    }

    void Accept()
    {
        acceptor.async_accept([self = shared_from_this()](const std::error_code& error, asio::ip::tcp::socket socket) {
            self->OnAccepted(error, std::move(socket));
        });
    }

    void OnAccepted(const std::error_code& error, asio::ip::tcp::socket socket)
    {
        if (closed || error == asio::error::operation_aborted)
            return;
        if (!error) {
            onAccept(std::move(socket));
            Accept();
            return;
        }
        if (!paused)
            onTrouble("cannot accept: " + error.message() + "; trying again");
        paused = true;
        pause.expires_after(kPauseWhenFull);
        pause.async_wait([self = shared_from_this()](const std::error_code& waitError) {
            if (!waitError && !self->closed)
                self->Accept();
        });
    }

    asio::ip::tcp::acceptor acceptor;
    asio::steady_timer pause;
    OnAccept onAccept;
    OnTrouble onTrouble;
    bool paused = false;
    bool closed = false;
};

Listener::Listener(asio::io_context& context, OnAccept onAccept, OnTrouble onTrouble)
    : state_(std::make_shared<State>(context, std::move(onAccept), std::move(onTrouble)))
{
}

Listener::~Listener() { Close(); }

bool Listener::Listen(const std::string& address, unsigned port, std::string& error)
{
    std::error_code result;
    const auto ip = asio::ip::make_address(address, result);
    if (result) {
        error = "'" + address + "' is no IPv4 or IPv6 address";
        return false;
    }
    const asio::ip::tcp::endpoint endpoint(ip, static_cast<unsigned short>(port));
    asio::ip::tcp::acceptor& acceptor = state_->acceptor;
    acceptor.open(endpoint.protocol(), result);
    if (!result)
        acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true), result);
    if (!result)
        acceptor.bind(endpoint, result);
    if (!result)
        acceptor.listen(asio::socket_base::max_listen_connections, result);
    if (result) {
        error = "cannot listen on " + EndpointText(endpoint) + ": " + result.message();
        return false;
    }
    state_->Accept();
    return true;
}

unsigned Listener::Port() const
{
    std::error_code error;
    const asio::ip::tcp::endpoint endpoint = state_->acceptor.local_endpoint(error);
    return error ? 0 : endpoint.port();
}

void Listener::Close()
{
    state_->closed = true;
    std::error_code ignored;
    state_->pause.cancel();
    state_->acceptor.close(ignored);
}

}  // namespace mimicbox::io
