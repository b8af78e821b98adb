// A device's socket and its queues on Asio. Every pending operation holds the link through
// shared_from_this, so it lives until the last one has ended; the connection detaches the handler
// when it is closed or destroyed. Bytes go out one send() at a time, or through a UringSender that
// sends those of many links in one submission.
#pragma once

#include <array>
#include <asio/io_context.hpp>
#include <asio/ip/address.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <memory>
#include <optional>
#include <string>

#include "tools/io/HostResolver.h"
#include "tools/io/UringSender.h"
#include "tools/sim/Connection.h"

namespace mimicbox::io {

// One read's worth of bytes; the loop's single thread lets every connection use the same one.
using ReadBuffer = std::array<char, 4096>;

class DeviceLink : public Outbox, public std::enable_shared_from_this<DeviceLink> {
public:
    struct Setup {
        std::shared_ptr<HostResolver> resolver;
        std::optional<asio::ip::address> source;
        std::shared_ptr<ReadBuffer> buffer;
        std::size_t maxUnsent = 0;
        std::weak_ptr<UringSender> sender;  // none: one send() per write
        bool batched = false;
    };

    DeviceLink(asio::io_context& context, Setup setup, sim::ConnectionHandler& handler);

    void Open();
    void Write(std::string_view bytes);
    void StopReading() { reading_ = false; }
    // No report reaches the handler afterwards. An orderly close sends what is queued first.
    void Close(bool reset);

    int Descriptor() override { return socket_.native_handle(); }
    std::string_view NextSend() override;
    void OnSendDone(int result) override;

private:
    void OnResolved(const std::error_code& error, const asio::ip::tcp::endpoint& endpoint);
    void OnConnect(const std::error_code& error);
    void StartRead();
    void OnReadable(std::error_code error);
    // Sends what the socket takes now; true when bytes are left to queue, false when all went or
    // the connection was lost.
    bool SendAtOnce(std::string_view& bytes);
    void StartWrite();
    void OnWritten(const std::error_code& error);
    void QueueSend();
    // Waits until the socket takes bytes again, for a send the ring refused for want of room.
    void WaitForRoom();
    void OnRoom();
    void Fail(std::string reason);
    void Lose(std::string reason);
    void Shut();
    std::size_t Waiting() const { return unsent_.size() + sending_.size() - sentOffset_; }

    asio::ip::tcp::socket socket_;
    asio::steady_timer timer_;
    Setup setup_;
    sim::ConnectionHandler* handler_;
    std::string unsent_;
    std::string sending_;
    std::size_t sentOffset_ = 0;  // of sending_, when a batched send took only part
    bool connected_ = false;
    bool writing_ = false;
    bool waitingForRoom_ = false;
    bool roomWaitSet_ = false;  // an Asio wait for room is pending
    bool closing_ = false;
    bool timedOut_ = false;
    bool reading_ = true;
};

}  // namespace mimicbox::io
