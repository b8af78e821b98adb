#include "tools/io/AsioConnection.h"

#include <asio/connect.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>
#include <array>

namespace mimicbox::io {

namespace {

using asio::ip::tcp;

constexpr auto kConnectTimeout = std::chrono::seconds(20);
constexpr std::size_t kReadSize = 4095;

// The socket and its queues. Every pending operation holds it through shared_from_this, so it lives
// until the last one has ended; the connection detaches the handler when it is closed or destroyed.
class Link : public std::enable_shared_from_this<Link> {
public:
    Link(asio::io_context& context, std::shared_ptr<HostResolver> resolver, std::optional<asio::ip::address_v4> source,
         std::shared_ptr<ReadBuffer> buffer, std::size_t maxUnsent, sim::ConnectionHandler& handler)
        : socket_(context), timer_(context), resolver_(std::move(resolver)), source_(source), buffer_(std::move(buffer)),
          maxUnsent_(maxUnsent), handler_(&handler)
    {
    }

    void Open()
    {
        resolver_->Resolve([self = shared_from_this()](const std::error_code& error, const tcp::endpoint& endpoint) {
            self->OnResolved(error, endpoint);
        });
    }

    void Write(std::string_view bytes)
    {
        if (!connected_)
            return;
        if (!writing_) {
            // Straight to the socket when nothing waits, so a report leaves at its deadline.
            std::error_code error;
            const std::size_t sent = socket_.write_some(asio::buffer(bytes.data(), bytes.size()), error);
            if (error && error != asio::error::would_block) {
                Lose("connection lost: " + error.message());
                return;
            }
            bytes.remove_prefix(sent);
            if (bytes.empty())
                return;
        }
        unsent_.append(bytes);
        if (unsent_.size() + sending_.size() > maxUnsent_) {
            Lose("connection lost: the server does not read");
            return;
        }
        if (!writing_)
            StartWrite();
    }

    void StopReading() { reading_ = false; }

    // No report reaches the handler afterwards. An orderly close sends what is queued first.
    void Close(bool reset)
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

private:
    void OnResolved(const std::error_code& error, const tcp::endpoint& endpoint)
    {
        if (!handler_)
            return;
        if (error) {
            Fail("cannot resolve " + resolver_->Host() + ": " + error.message());
            return;
        }
        std::error_code openError;
        socket_.open(tcp::v4(), openError);
        if (openError) {
            Fail("cannot create a socket: " + openError.message());
            return;
        }
        if (source_) {
            socket_.bind(tcp::endpoint(*source_, 0), openError);
            if (openError) {
                Fail("cannot connect from " + source_->to_string() + ": " + openError.message());
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

    void OnConnect(const std::error_code& error)
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
    void StartRead()
    {
        socket_.async_wait(tcp::socket::wait_read, [self = shared_from_this()](const std::error_code& error) {
            self->OnReadable(error);
        });
    }

    void OnReadable(std::error_code error)
    {
        if (!handler_ || !connected_ || !reading_)
            return;
        std::size_t size = 0;
        if (!error)
            size = socket_.read_some(asio::buffer(buffer_->data(), kReadSize), error);
        if (error == asio::error::would_block || error == asio::error::try_again) {
            StartRead();
            return;
        }
        if (error) {
            Lose(error == asio::error::eof ? std::string("connection closed by the server")
                                           : "connection lost: " + error.message());
            return;
        }
        handler_->OnChunk(std::string_view(buffer_->data(), size));
        if (handler_)
            StartRead();
    }

    void StartWrite()
    {
        sending_.swap(unsent_);
        writing_ = true;
        asio::async_write(socket_, asio::buffer(sending_), [self = shared_from_this()](const std::error_code& error, std::size_t) {
            self->OnWritten(error);
        });
    }

    void OnWritten(const std::error_code& error)
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

    // Reports later, from the loop: never from inside a call the handler made.
    void Fail(std::string reason)
    {
        Shut();
        asio::post(socket_.get_executor(), [self = shared_from_this(), reason = std::move(reason)] {
            if (self->handler_)
                std::exchange(self->handler_, nullptr)->OnConnectFailed(reason);
        });
    }
    void Lose(std::string reason)
    {
        Shut();
        asio::post(socket_.get_executor(), [self = shared_from_this(), reason = std::move(reason)] {
            if (self->handler_)
                std::exchange(self->handler_, nullptr)->OnLost(reason);
        });
    }

    void Shut()
    {
        connected_ = false;
        closing_ = false;
        timer_.cancel();
        std::error_code ignored;
        if (!socket_.is_open())
            return;
        socket_.shutdown(tcp::socket::shutdown_send, ignored);
        socket_.close(ignored);
    }

    tcp::socket socket_;
    asio::steady_timer timer_;
    std::shared_ptr<HostResolver> resolver_;
    std::optional<asio::ip::address_v4> source_;
    std::shared_ptr<ReadBuffer> buffer_;
    std::size_t maxUnsent_;
    sim::ConnectionHandler* handler_;
    std::string unsent_;
    std::string sending_;
    bool connected_ = false;
    bool writing_ = false;
    bool closing_ = false;
    bool timedOut_ = false;
    bool reading_ = true;
};

class AsioConnection : public sim::Connection {
public:
    explicit AsioConnection(std::shared_ptr<Link> link) : link_(std::move(link)) {}
    ~AsioConnection() override { link_->Close(false); }

    void Open() override { link_->Open(); }
    void Write(std::string_view bytes) override { link_->Write(bytes); }
    void StopReading() override { link_->StopReading(); }
    void Close() override { link_->Close(false); }
    void Reset() override { link_->Close(true); }

private:
    std::shared_ptr<Link> link_;
};

}  // namespace

AsioNetwork::AsioNetwork(asio::io_context& context, const std::string& host, unsigned port,
                         std::vector<asio::ip::address_v4> sources, std::size_t maxUnsent)
    : context_(context), resolver_(std::make_shared<HostResolver>(context, host, port)), sources_(std::move(sources)),
      buffer_(std::make_shared<ReadBuffer>()), maxUnsent_(maxUnsent)
{
}

std::unique_ptr<sim::Connection> AsioNetwork::Create(std::size_t index, sim::ConnectionHandler& handler)
{
    std::optional<asio::ip::address_v4> source;
    if (!sources_.empty())
        source = sources_[index % sources_.size()];
    return std::make_unique<AsioConnection>(std::make_shared<Link>(context_, resolver_, source, buffer_, maxUnsent_, handler));
}

bool CheckSourceAddress(asio::io_context& context, const asio::ip::address_v4& address, std::string& error)
{
    tcp::socket probe(context);
    std::error_code result;
    probe.open(tcp::v4(), result);
    if (!result)
        probe.bind(tcp::endpoint(address, 0), result);
    if (!result)
        return true;
    error = "cannot use " + address.to_string() + " as a source address: " + result.message();
    return false;
}

}  // namespace mimicbox::io
