#include "tools/control/http/RefusedClient.h"

#include <chrono>

namespace mimicbox::control::http {

namespace {

constexpr auto kLinger = std::chrono::seconds(1);

}  // namespace

RefusedClient::RefusedClient(asio::ip::tcp::socket socket, std::function<void()> onClosed)
    : socket_(std::move(socket)), timer_(socket_.get_executor()), onClosed_(std::move(onClosed))
{
}

void RefusedClient::Start(const std::string& answer)
{
    std::error_code error;
    socket_.non_blocking(true, error);
    if (!error)
        socket_.write_some(asio::buffer(answer), error);
    if (!error)
        socket_.shutdown(asio::ip::tcp::socket::shutdown_send, error);
    if (error) {
        Close();
        return;
    }
    timer_.expires_after(kLinger);
    timer_.async_wait([self = shared_from_this()](const std::error_code& waitError) {
        if (!waitError)
            self->Close();
    });
    Drain();
}

void RefusedClient::Drain()
{
    socket_.async_read_some(asio::buffer(sink_), [self = shared_from_this()](const std::error_code& error, std::size_t) {
        if (error)
            self->Close();
        else
            self->Drain();
    });
}

void RefusedClient::Close()
{
    timer_.cancel();
    std::error_code ignored;
    socket_.close(ignored);
    if (onClosed_)
        std::exchange(onClosed_, nullptr)();
}

}  // namespace mimicbox::control::http
