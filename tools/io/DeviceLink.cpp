#include "tools/io/DeviceLink.h"

#include <asio/post.hpp>
#include <asio/write.hpp>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>

namespace mimicbox::io {

namespace {

using asio::ip::tcp;

constexpr auto kConnectTimeout = std::chrono::seconds(20);
constexpr std::size_t kReadSize = 4095;

}  // namespace

DeviceLink::DeviceLink(asio::io_context& context, Setup setup, sim::ConnectionHandler& handler)
    : socket_(context), timer_(context), setup_(std::move(setup)), handler_(&handler)
{
}

void DeviceLink::Open()
{
    setup_.resolver->Resolve([self = shared_from_this()](const std::error_code& error, const tcp::endpoint& endpoint) {
        self->OnResolved(error, endpoint);
    });
}

void DeviceLink::Write(std::string_view bytes)
{
    if (!connected_)
        return;
    // Unbatched, straight to the socket when nothing waits, so a report leaves at its deadline;
    // batched, with the other sends of this wake-up.
    if (!setup_.batched && !writing_ && !SendAtOnce(bytes))
        return;
    unsent_.append(bytes);
    if (Waiting() > setup_.maxUnsent) {
        Lose("connection lost: the server does not read");
        return;
    }
    if (writing_)
        return;
    if (setup_.batched)
        QueueSend();
    else
        StartWrite();
}

bool DeviceLink::SendAtOnce(std::string_view& bytes)
{
    std::error_code error;
    const std::size_t sent = socket_.write_some(asio::buffer(bytes.data(), bytes.size()), error);
    if (error && error != asio::error::would_block) {
        Lose("connection lost: " + error.message());
        return false;
    }
    bytes.remove_prefix(sent);
    return !bytes.empty();
}

void DeviceLink::Close(bool reset)
{
    handler_ = nullptr;
    timer_.cancel();
    std::error_code ignored;
    if (reset && socket_.is_open())
        socket_.set_option(asio::socket_base::linger(true, 0), ignored);
    if (reset || !writing_) {
        Shut();
        return;
    }
    closing_ = true;
    // A server that never reads does not hold the close up for long.
    timer_.expires_after(std::chrono::seconds(2));
    timer_.async_wait([self = shared_from_this()](const std::error_code& error) {
        if (!error)
            self->Shut();
    });
}

void DeviceLink::OnResolved(const std::error_code& error, const tcp::endpoint& endpoint)
{
    if (!handler_)
        return;
    if (error) {
        Fail("cannot resolve " + setup_.resolver->Host() + ": " + error.message());
        return;
    }
    std::error_code openError;
    socket_.open(endpoint.protocol(), openError);
    if (openError) {
        Fail("cannot create a socket: " + openError.message());
        return;
    }
    if (setup_.source) {
        // The port is then chosen at connect, unique per server rather than per machine, and a
        // port still in TIME_WAIT from an earlier run can be taken again.
        std::error_code ignored;
        socket_.set_option(asio::detail::socket_option::boolean<IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT>(true), ignored);
        socket_.bind(tcp::endpoint(*setup_.source, 0), openError);
        if (openError) {
            Fail("cannot connect from " + setup_.source->to_string() + ": " + openError.message());
            return;
        }
    }
    timer_.expires_after(kConnectTimeout);
    timer_.async_wait([self = shared_from_this()](const std::error_code& timerError) {
        if (!timerError && !self->connected_) {
            self->timedOut_ = true;
            std::error_code ignored;
            self->socket_.cancel(ignored);
        }
    });
    socket_.async_connect(endpoint, [self = shared_from_this()](const std::error_code& connectError) {
        self->OnConnect(connectError);
    });
}

void DeviceLink::OnConnect(const std::error_code& error)
{
    timer_.cancel();
    if (!handler_)
        return;
    if (error) {
        Fail("cannot connect: " + (timedOut_ ? std::make_error_code(std::errc::timed_out) : error).message());
        return;
    }
    std::error_code ignored;
    socket_.non_blocking(true, ignored);
    socket_.set_option(tcp::no_delay(true), ignored);
    connected_ = true;
    StartRead();
    handler_->OnConnected();
}

// Waits for data and then reads it into the buffer all connections share, so that an idle
// connection holds no buffer of its own.
void DeviceLink::StartRead()
{
    socket_.async_wait(tcp::socket::wait_read, [self = shared_from_this()](const std::error_code& error) {
        self->OnReadable(error);
    });
}

void DeviceLink::OnReadable(std::error_code error)
{
    if (!handler_ || !connected_ || !reading_)
        return;
    std::size_t size = 0;
    if (!error)
        size = socket_.read_some(asio::buffer(setup_.buffer->data(), kReadSize), error);
    if (error == asio::error::would_block || error == asio::error::try_again) {
        StartRead();
        return;
    }
    if (error) {
        Lose(error == asio::error::eof ? std::string("connection closed by the server")
                                       : "connection lost: " + error.message());
        return;
    }
    handler_->OnChunk(std::string_view(setup_.buffer->data(), size));
    if (handler_)
        StartRead();
}

void DeviceLink::StartWrite()
{
    sending_.swap(unsent_);
    writing_ = true;
    asio::async_write(socket_, asio::buffer(sending_), [self = shared_from_this()](const std::error_code& error, std::size_t) {
        self->OnWritten(error);
    });
}

void DeviceLink::OnWritten(const std::error_code& error)
{
    writing_ = false;
    sending_.clear();
    if (closing_) {
        if (error || unsent_.empty())
            Shut();
        else
            StartWrite();
        return;
    }
    if (!handler_)
        return;
    if (error) {
        Lose("connection lost: " + error.message());
        return;
    }
    if (!unsent_.empty())
        StartWrite();
}

void DeviceLink::QueueSend()
{
    if (const auto sender = setup_.sender.lock()) {
        writing_ = true;
        sender->Queue(shared_from_this());
    }
}

std::string_view DeviceLink::NextSend()
{
    if (!socket_.is_open()) {
        writing_ = false;
        return {};
    }
    if (sentOffset_ == sending_.size()) {
        sending_.clear();
        sentOffset_ = 0;
        sending_.swap(unsent_);
    }
    if (sending_.empty())
        writing_ = false;
    return std::string_view(sending_).substr(sentOffset_);
}

void DeviceLink::OnSendDone(int result)
{
    writing_ = false;
    if (!socket_.is_open())
        return;
    if (result == -EAGAIN || result == -EINTR) {
        WaitForRoom();
        return;
    }
    if (result < 0) {
        sending_.clear();
        sentOffset_ = 0;
        if (closing_ || !handler_)
            Shut();
        else
            Lose("connection lost: " + std::error_code(-result, std::system_category()).message());
        return;
    }
    sentOffset_ += static_cast<std::size_t>(result);
    if (sentOffset_ < sending_.size() || !unsent_.empty()) {
        QueueSend();
        return;
    }
    sending_.clear();
    sentOffset_ = 0;
    if (closing_)
        Shut();
}

// The loop hears that the socket has room again by an edge, which may have passed before the wait was
// set: the socket is asked once more after setting it, so that no edge is missed.
void DeviceLink::WaitForRoom()
{
    writing_ = true;
    waitingForRoom_ = true;
    if (!roomWaitSet_) {
        roomWaitSet_ = true;
        socket_.async_wait(tcp::socket::wait_write, [self = shared_from_this()](const std::error_code& error) {
            self->roomWaitSet_ = false;
            if (!error)
                self->OnRoom();
        });
    }
    pollfd room{socket_.native_handle(), POLLOUT, 0};
    if (::poll(&room, 1, 0) == 1 && (room.revents & POLLOUT) != 0)
        OnRoom();
}

void DeviceLink::OnRoom()
{
    if (!waitingForRoom_)
        return;
    waitingForRoom_ = false;
    writing_ = false;
    QueueSend();
}

// Reports later, from the loop: never from inside a call the handler made.
void DeviceLink::Fail(std::string reason)
{
    Shut();
    asio::post(socket_.get_executor(), [self = shared_from_this(), reason = std::move(reason)] {
        if (self->handler_)
            std::exchange(self->handler_, nullptr)->OnConnectFailed(reason);
    });
}

void DeviceLink::Lose(std::string reason)
{
    Shut();
    asio::post(socket_.get_executor(), [self = shared_from_this(), reason = std::move(reason)] {
        if (self->handler_)
            std::exchange(self->handler_, nullptr)->OnLost(reason);
    });
}

void DeviceLink::Shut()
{
    connected_ = false;
    closing_ = false;
    timer_.cancel();
    std::error_code ignored;
    if (!socket_.is_open())
        return;
    // The shutdown also ends a batched send in flight, which holds the socket open in the kernel
    // until it ends: a reset goes out now, not when the server reads again.
    socket_.shutdown(tcp::socket::shutdown_send, ignored);
    socket_.close(ignored);
}

}  // namespace mimicbox::io
