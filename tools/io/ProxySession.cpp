#include "tools/io/ProxySession.h"

#include <asio/write.hpp>
#include <cerrno>

#include "tools/io/EndpointText.h"

namespace mimicbox::io {

namespace {

std::string Address(const asio::ip::tcp::socket& socket)
{
    asio::error_code error;
    const asio::ip::tcp::endpoint peer = socket.remote_endpoint(error);
    return error ? std::string("?") : EndpointText(peer);
}

capture::Side Other(capture::Side side)
{
    return side == capture::Side::kDevice ? capture::Side::kServer : capture::Side::kDevice;
}

}  // namespace

void ProxyPump::OnSendDone(int result)
{
    if (const auto held = session)
        held->Sent(held->up_.get() == this ? held->up_ : held->down_, result);
}

void ProxyPump::OnReceiveDone(int result)
{
    if (const auto held = session)
        held->Received(held->up_.get() == this ? held->up_ : held->down_, result);
}

ProxySession::ProxySession(asio::ip::tcp::socket device, asio::ip::tcp::endpoint server, uint64_t conn,
                           ProxyRecorder& recorder, std::shared_ptr<UringSender> sender, std::function<void()> onEnd)
    : device_(std::move(device)), server_(device_.get_executor()), serverAddress_(std::move(server)), conn_(conn),
      peer_(Address(device_)), recorder_(recorder), sender_(std::move(sender)), onEnd_(std::move(onEnd)),
      up_(std::make_shared<ProxyPump>(device_, server_, capture::Side::kDevice)),
      down_(std::make_shared<ProxyPump>(server_, device_, capture::Side::kServer))
{
}

void ProxySession::Start()
{
    up_->session = down_->session = shared_from_this();
    asio::error_code failed;
    device_.set_option(asio::ip::tcp::no_delay(true), failed);
    device_.non_blocking(true, failed);
    Tell(capture::CaptureKind::kConnect, capture::Side::kDevice);
    server_.async_connect(serverAddress_, [self = shared_from_this()](const asio::error_code& error) {
        if (self->ended_)
            return;
        asio::error_code ignored;
        if (error) {
            // The device sees what it would have seen from the server: a refused connection, a reset.
            self->Tell(capture::CaptureKind::kConnectFailed, capture::Side::kServer, {}, error.message());
            self->device_.set_option(asio::socket_base::linger(true, 0), ignored);
            self->Finish();
            return;
        }
        self->server_.set_option(asio::ip::tcp::no_delay(true), ignored);
        self->server_.non_blocking(true, ignored);
        self->WaitToRead(self->up_);
        self->WaitToRead(self->down_);
    });
}

// The ring receives when bytes arrive, in the submission of the turn's sends. Without it, waits for
// readiness rather than trying a read at once: after a chunk was passed on, a read would mostly find
// nothing and cost a system call each time.
void ProxySession::WaitToRead(const std::shared_ptr<ProxyPump>& pump)
{
    if (recorder_.Congested()) {
        pump->wait.expires_after(std::chrono::milliseconds(5));
        pump->wait.async_wait([self = shared_from_this(), pump](const asio::error_code& error) {
            if (!error && !self->ended_)
                self->WaitToRead(pump);
        });
        return;
    }
    if (sender_) {
        sender_->Receive(pump);
        return;
    }
    pump->from.async_wait(asio::ip::tcp::socket::wait_read, [self = shared_from_this(), pump](const asio::error_code& error) {
        if (self->ended_)
            return;
        if (error)
            self->Reset(pump->side, error.message());
        else
            self->Read(pump);
    });
}

// A read at once, told as the ring tells of a receive.
void ProxySession::Read(const std::shared_ptr<ProxyPump>& pump)
{
    asio::error_code error;
    const std::size_t size = pump->from.read_some(asio::buffer(pump->buffer), error);
    Received(pump, error == asio::error::eof ? 0 : error ? -error.value() : static_cast<int>(size));
}

void ProxySession::Received(const std::shared_ptr<ProxyPump>& pump, int result)
{
    if (ended_)
        return;
    if (result == -EAGAIN || result == -EINTR)
        WaitToRead(pump);
    else if (result == 0)
        HalfClose(*pump);
    else if (result < 0)
        Reset(pump->side, std::error_code(-result, std::system_category()).message());
    else {
        pump->size = static_cast<std::size_t>(result);
        pump->sent = 0;
        Forward(pump);
    }
}

void ProxySession::Forward(const std::shared_ptr<ProxyPump>& pump)
{
    Tell(capture::CaptureKind::kData, pump->side, std::string(pump->buffer.data(), pump->size));
    if (sender_) {
        sender_->Queue(pump);
        return;
    }
    asio::async_write(pump->to, asio::buffer(pump->buffer.data(), pump->size),
                      [self = shared_from_this(), pump](const asio::error_code& error, std::size_t size) {
                          self->Sent(pump, error ? -error.value() : static_cast<int>(size));
                      });
}

void ProxySession::Sent(const std::shared_ptr<ProxyPump>& pump, int result)
{
    if (ended_)
        return;
    if (result == -EAGAIN || result == -EINTR) {
        pump->to.async_wait(asio::ip::tcp::socket::wait_write, [self = shared_from_this(), pump](const asio::error_code& error) {
            if (!error && !self->ended_)
                self->sender_->Queue(pump);
        });
        return;
    }
    if (result < 0) {
        // The receiving side went away: it reset the connection.
        Reset(Other(pump->side), std::error_code(-result, std::system_category()).message());
        return;
    }
    pump->sent += static_cast<std::size_t>(result);
    if (pump->sent < pump->size) {
        sender_->Queue(pump);
        return;
    }
    // A full buffer may have left more behind, of which no new readiness will tell.
    if (pump->size == pump->buffer.size() && !sender_)
        Read(pump);
    else
        WaitToRead(pump);
}

void ProxySession::HalfClose(ProxyPump& pump)
{
    Tell(capture::CaptureKind::kHalfClose, pump.side);
    asio::error_code ignored;
    pump.to.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    pump.done = true;
    if (up_->done && down_->done) {
        Tell(capture::CaptureKind::kClose, pump.side);
        Finish();
    }
}

void ProxySession::Reset(capture::Side side, const std::string& reason)
{
    Tell(capture::CaptureKind::kReset, side, {}, reason);
    // Passed on as a reset to the other side.
    asio::error_code ignored;
    (side == capture::Side::kDevice ? server_ : device_).set_option(asio::socket_base::linger(true, 0), ignored);
    Finish();
}

void ProxySession::Stop()
{
    if (ended_)
        return;
    asio::error_code ignored;
    device_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    server_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    Tell(capture::CaptureKind::kClose, capture::Side::kDevice, {}, "the recording ended");
    Finish();
}

void ProxySession::Finish()
{
    ended_ = true;
    asio::error_code ignored;
    // A receive in the ring holds its socket open until it ends.
    if (sender_) {
        sender_->Cancel(*up_);
        sender_->Cancel(*down_);
    }
    up_->wait.cancel();
    down_->wait.cancel();
    up_->session.reset();
    down_->session.reset();
    device_.close(ignored);
    server_.close(ignored);
    if (onEnd_)
        std::exchange(onEnd_, nullptr)();
}

void ProxySession::Tell(capture::CaptureKind kind, capture::Side side, std::string bytes, std::string reason)
{
    capture::CaptureEvent event;
    event.conn = conn_;
    event.peer = peer_;
    event.kind = kind;
    event.from = side;
    event.bytes = std::move(bytes);
    event.reason = std::move(reason);
    recorder_.Record(std::move(event));
}

}  // namespace mimicbox::io
