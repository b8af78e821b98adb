// Sends the bytes of many connections in one system call: what the loop's handlers queue in one turn
// goes out in one io_uring submission when the turn's ready handlers have run, instead of one send()
// each. Each connection has at most one send in flight, so its bytes stay in order. The recording
// proxy receives through it the same way.
#pragma once

#include <array>
#include <asio/io_context.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tools/io/AsioScheduler.h"

struct io_uring;
struct io_uring_sqe;

namespace mimicbox::io {

// A connection as the sender sees it.
class Outbox {
public:
    virtual ~Outbox() = default;
    // The socket, and the bytes to send now; empty when the connection has nothing left to send or
    // was closed meanwhile.
    virtual int Descriptor() = 0;
    virtual std::string_view NextSend() = 0;
    // What the send did: bytes taken (perhaps fewer than offered) or -errno; -EAGAIN when the
    // socket had no room, for a sender that does not wait for it in the ring.
    virtual void OnSendDone(int result) = 0;
};

// A connection whose bytes the ring receives: the recording proxy's, which reads as much as it sends.
class Inbox {
public:
    virtual ~Inbox() = default;
    virtual int ReceiveDescriptor() = 0;
    virtual std::span<char> ReceiveBuffer() = 0;
    // Bytes received, 0 at the end of the stream, or -errno (-ECANCELED once cancelled).
    virtual void OnReceiveDone(int result) = 0;
};

class UringSender : public WakeObserver, public std::enable_shared_from_this<UringSender> {
public:
    // False with the system's reason where io_uring is missing or forbidden.
    // `receives`: it will receive too, and every completion wakes the loop.
    static std::shared_ptr<UringSender> Create(asio::io_context& context, std::string& error, bool receives = false);
    ~UringSender();
    UringSender(const UringSender&) = delete;
    UringSender& operator=(const UringSender&) = delete;

    // Sends the outbox's next bytes in this turn's submission. Call again only after OnSendDone.
    void Queue(std::shared_ptr<Outbox> outbox);
    // Receives into the inbox's buffer once bytes arrive, submitted with this turn's sends. Call
    // again only after OnReceiveDone; Cancel before its descriptor closes, which the receive holds
    // open until it ends.
    void Receive(std::shared_ptr<Inbox> inbox);
    void Cancel(const Inbox& inbox);
    // While the scheduler calls a wake-up's timers their sends wait, and go out together right
    // after, without another turn of the loop.
    void BeforeTimers() override { held_ = true; }
    void AfterTimers() override;

private:
    UringSender(asio::io_context& context, std::unique_ptr<io_uring> ring, int wakeup, bool everyCompletionWakes);

    void PostFlush();
    bool HasQueued() const;
    void Flush();
    void PrepareSends();
    void PrepareReceives();
    io_uring_sqe* NextEntry();
    void Submit();
    void Reap();
    void WaitForCompletions();

    asio::io_context& context_;
    std::unique_ptr<io_uring> ring_;
    asio::posix::stream_descriptor wakeup_;
    std::array<char, 16> signal_{};  // an eventfd's count is 8 bytes
    std::vector<std::shared_ptr<Outbox>> queued_;
    std::unordered_map<const Outbox*, std::shared_ptr<Outbox>> inFlight_;
    std::vector<std::shared_ptr<Inbox>> receivesQueued_;
    std::unordered_map<const Inbox*, std::shared_ptr<Inbox>> receiving_;
    bool flushPosted_ = false;
    bool held_ = false;
    bool flushing_ = false;  // the flush under way takes what completions queue
    bool everyCompletionWakes_;  // else only those outside a submission wake the loop
};

}  // namespace mimicbox::io
