// One device's connection through the recording proxy: the device's socket, a connection of its own
// to the server, and a pump each way that passes every chunk on unchanged as soon as it is read and
// tells the capture. One buffer each way: a side that stops reading stops its partner's reads, as
// TCP would between them. A half-close passes on as a half-close, a reset as a reset.
#pragma once

#include <array>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "tools/capture/Capture.h"
#include "tools/io/UringSender.h"

namespace mimicbox::io {

// Where a session's events go, stamped with the capture's clocks.
class ProxyRecorder {
public:
    virtual ~ProxyRecorder() = default;
    virtual void Record(capture::CaptureEvent event) = 0;
    // Whether reads should wait for the capture to catch up.
    virtual bool Congested() const = 0;
};

class ProxySession;

// One direction: what was read from one side and is on its way to the other.
class ProxyPump : public Outbox, public Inbox {
public:
    ProxyPump(asio::ip::tcp::socket& source, asio::ip::tcp::socket& sink, capture::Side sender)
        : from(source), to(sink), side(sender), wait(source.get_executor())
    {
    }
    int Descriptor() override { return to.is_open() ? to.native_handle() : -1; }
    std::string_view NextSend() override { return {buffer.data() + sent, size - sent}; }
    void OnSendDone(int result) override;
    int ReceiveDescriptor() override { return from.is_open() ? from.native_handle() : -1; }
    std::span<char> ReceiveBuffer() override { return buffer; }
    void OnReceiveDone(int result) override;

    // The session, held while it lives: a receive or send in the ring is all that holds it then.
    // It lets go when it ends, and what completes after that reports to no one.
    std::shared_ptr<ProxySession> session;
    asio::ip::tcp::socket& from;
    asio::ip::tcp::socket& to;
    capture::Side side;
    asio::steady_timer wait;  // for the capture to catch up
    std::array<char, 8192> buffer{};
    std::size_t size = 0;
    std::size_t sent = 0;
    bool done = false;
};

class ProxySession : public std::enable_shared_from_this<ProxySession> {
public:
    // `sender`: io_uring's batched receives and sends, or none for a recv() and a send() a chunk.
    ProxySession(asio::ip::tcp::socket device, asio::ip::tcp::endpoint server, uint64_t conn, ProxyRecorder& recorder,
                 std::shared_ptr<UringSender> sender, std::function<void()> onEnd);
    void Start();
    // Closes both sides in order (a FIN each way) at the end of a recording.
    void Stop();

private:
    friend class ProxyPump;

    void WaitToRead(const std::shared_ptr<ProxyPump>& pump);
    void Read(const std::shared_ptr<ProxyPump>& pump);
    void Received(const std::shared_ptr<ProxyPump>& pump, int result);
    void Forward(const std::shared_ptr<ProxyPump>& pump);
    void Sent(const std::shared_ptr<ProxyPump>& pump, int result);
    void HalfClose(ProxyPump& pump);
    void Reset(capture::Side side, const std::string& reason);
    void Finish();
    void Tell(capture::CaptureKind kind, capture::Side side, std::string bytes = {}, std::string reason = {});

    asio::ip::tcp::socket device_;
    asio::ip::tcp::socket server_;
    asio::ip::tcp::endpoint serverAddress_;
    uint64_t conn_;
    std::string peer_;
    ProxyRecorder& recorder_;
    std::shared_ptr<UringSender> sender_;
    std::function<void()> onEnd_;
    std::shared_ptr<ProxyPump> up_;
    std::shared_ptr<ProxyPump> down_;
    bool ended_ = false;
};

}  // namespace mimicbox::io
