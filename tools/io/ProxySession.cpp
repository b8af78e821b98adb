#include "tools/io/ProxySession.h"

#include <asio/connect.hpp>
#include <asio/write.hpp>

namespace mimicbox::io {

namespace {

std::string Address(const asio::ip::tcp::socket& socket)
{
    asio::error_code error;
    const asio::ip::tcp::endpoint peer = socket.remote_endpoint(error);
    return error ? std::string("?") : peer.address().to_string() + ":" + std::to_string(peer.port());
}

}  // namespace

ProxySession::ProxySession(asio::ip::tcp::socket device, asio::ip::tcp::endpoint server, uint64_t conn,
                           ProxyRecorder& recorder, std::function<void()> onEnd)
    : device_(std::move(device)), server_(device_.get_executor()), serverAddress_(std::move(server)),
      waitUp_(device_.get_executor()), waitDown_(device_.get_executor()), conn_(conn), peer_(Address(device_)), recorder_(recorder), onEnd_(std::move(onEnd))
{
}

void ProxySession::Start()
{
    asio::error_code failed;
    device_.set_option(asio::ip::tcp::no_delay(true), failed);
    Tell(capture::CaptureKind::kConnect, capture::Side::kDevice);
    server_.async_connect(serverAddress_, [self = shared_from_this()](const asio::error_code& error) {
        if (self->ended_)
            return;
        if (error) {
            // The device sees what it would have seen from the server: a refused connection, a reset.
            self->Tell(capture::CaptureKind::kConnectFailed, capture::Side::kServer, {}, error.message());
            asio::error_code ignored;
            self->device_.set_option(asio::socket_base::linger(true, 0), ignored);
            self->Finish();
            return;
        }
        asio::error_code ignored;
        self->server_.set_option(asio::ip::tcp::no_delay(true), ignored);
        self->Read(self->up_);
        self->Read(self->down_);
    });
}

void ProxySession::Read(Pump& pump)
{
    if (recorder_.Congested()) {
        pump.wait->expires_after(std::chrono::milliseconds(5));
        pump.wait->async_wait([self = shared_from_this(), &pump](const asio::error_code& error) {
            if (!error && !self->ended_)
                self->Read(pump);
        });
        return;
    }
    pump.from->async_read_some(asio::buffer(pump.buffer),
                               [self = shared_from_this(), &pump](const asio::error_code& error, std::size_t size) {
                                   if (self->ended_)
                                       return;
                                   if (!error)
                                       self->Forward(pump, size);
                                   else if (error == asio::error::eof)
                                       self->HalfClose(pump);
                                   else
                                       self->Reset(pump.side, error.message());
                               });
}

void ProxySession::Forward(Pump& pump, std::size_t size)
{
    Tell(capture::CaptureKind::kData, pump.side, std::string(pump.buffer.data(), size));
    asio::async_write(*pump.to, asio::buffer(pump.buffer.data(), size),
                      [self = shared_from_this(), &pump](const asio::error_code& error, std::size_t) {
                          if (self->ended_)
                              return;
                          if (!error) {
                              self->Read(pump);
                              return;
                          }
                          // The receiving side went away: it reset the connection.
                          const capture::Side other =
                              pump.side == capture::Side::kDevice ? capture::Side::kServer : capture::Side::kDevice;
                          self->Reset(other, error.message());
                      });
}

void ProxySession::HalfClose(Pump& pump)
{
    Tell(capture::CaptureKind::kHalfClose, pump.side);
    asio::error_code ignored;
    pump.to->shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    pump.done = true;
    if (up_.done && down_.done) {
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
    waitUp_.cancel();
    waitDown_.cancel();
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
