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

namespace mimicbox::io {

// Where a session's events go, stamped with the capture's clocks.
class ProxyRecorder {
public:
    virtual ~ProxyRecorder() = default;
    virtual void Record(capture::CaptureEvent event) = 0;
    // Whether reads should wait for the capture to catch up.
    virtual bool Congested() const = 0;
};

class ProxySession : public std::enable_shared_from_this<ProxySession> {
public:
    ProxySession(asio::ip::tcp::socket device, asio::ip::tcp::endpoint server, uint64_t conn, ProxyRecorder& recorder,
                 std::function<void()> onEnd);
    void Start();
    // Closes both sides in order (a FIN each way) at the end of a recording.
    void Stop();

private:
    struct Pump {
        asio::ip::tcp::socket* from;
        asio::ip::tcp::socket* to;
        capture::Side side;
        asio::steady_timer* wait;  // for the capture to catch up
        std::array<char, 16384> buffer;
        bool done = false;
    };

    void Read(Pump& pump);
    void Forward(Pump& pump, std::size_t size);
    void HalfClose(Pump& pump);
    void Reset(capture::Side side, const std::string& reason);
    void Finish();
    void Tell(capture::CaptureKind kind, capture::Side side, std::string bytes = {}, std::string reason = {});

    asio::ip::tcp::socket device_;
    asio::ip::tcp::socket server_;
    asio::ip::tcp::endpoint serverAddress_;
    asio::steady_timer waitUp_;
    asio::steady_timer waitDown_;
    uint64_t conn_;
    std::string peer_;
    ProxyRecorder& recorder_;
    std::function<void()> onEnd_;
    Pump up_{&device_, &server_, capture::Side::kDevice, &waitUp_, {}};
    Pump down_{&server_, &device_, capture::Side::kServer, &waitDown_, {}};
    bool ended_ = false;
};

}  // namespace mimicbox::io
