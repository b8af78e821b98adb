#include "tools/io/ServerSession.h"

#include <asio/write.hpp>

#include "tools/io/EndpointText.h"

namespace mimicbox::io {

namespace {

// A device that sends this much without a NUL is sending no records.
constexpr std::size_t kMaxRecord = 65536;
constexpr std::size_t kMaxUnsentToDevice = 65536;

std::string PeerName(const asio::ip::tcp::socket& socket)
{
    std::error_code error;
    const auto endpoint = socket.remote_endpoint(error);
    return error ? std::string("?") : EndpointText(endpoint);
}

}  // namespace

ServerSession::ServerSession(asio::ip::tcp::socket socket, ServerSessionHandler& handler,
                             std::shared_ptr<SharedReadBuffer> buffer)
    : socket_(std::move(socket)), handler_(&handler), buffer_(std::move(buffer)), framer_(kMaxRecord),
      peer_(PeerName(socket_))
{
}

void ServerSession::Start()
{
    std::error_code ignored;
    socket_.non_blocking(true, ignored);
    WaitForData();
}

void ServerSession::WaitForData()
{
    socket_.async_wait(asio::ip::tcp::socket::wait_read,
                       [self = shared_from_this()](const std::error_code& error) { self->OnReadable(error); });
}

void ServerSession::OnReadable(std::error_code error)
{
    if (!handler_)
        return;
    std::size_t size = 0;
    if (!error)
        size = socket_.read_some(asio::buffer(*buffer_), error);
    if (error == asio::error::would_block || error == asio::error::try_again) {
        WaitForData();
        return;
    }
    if (error) {
        End(error == asio::error::eof ? "closed the connection" : error.message());
        return;
    }
    framer_.Feed(
        std::string_view(buffer_->data(), size),
        [this](std::string_view record) {
            if (handler_)
                handler_->OnRecord(*this, record);
        },
        [this](std::size_t dropped) {
            if (handler_)
                handler_->OnOverflow(*this, dropped);
        });
    if (handler_)
        WaitForData();
}

bool ServerSession::Send(std::string_view bytes)
{
    if (!handler_)
        return false;
    if (unsent_.size() + sending_.size() + bytes.size() > kMaxUnsentToDevice)
        return false;
    unsent_.append(bytes);
    if (!writing_)
        StartWrite();
    return true;
}

void ServerSession::StartWrite()
{
    sending_.swap(unsent_);
    writing_ = true;
    asio::async_write(socket_, asio::buffer(sending_), [self = shared_from_this()](const std::error_code& error, std::size_t) {
        self->writing_ = false;
        self->sending_.clear();
        if (!self->handler_)
            return;
        if (error)
            self->End(error.message());
        else if (!self->unsent_.empty())
            self->StartWrite();
    });
}

void ServerSession::Close()
{
    handler_ = nullptr;
    std::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
}

void ServerSession::End(std::string reason)
{
    ServerSessionHandler* handler = handler_;
    Close();
    handler->OnClosed(*this, reason);
}

}  // namespace mimicbox::io
