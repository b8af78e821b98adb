// Sends the bytes of many connections in one system call: what the loop's handlers queue in one turn
// goes out in one io_uring submission when the turn's ready handlers have run, instead of one send()
// each. Each connection has at most one send in flight, so its bytes stay in order.
#pragma once

#include <asio/io_context.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tools/io/AsioScheduler.h"

struct io_uring;

namespace mimicbox::io {

// A connection as the sender sees it.
class Outbox {
public:
    virtual ~Outbox() = default;
    // The socket, and the bytes to send now; empty when the connection has nothing left to send or
    // was closed meanwhile.
    virtual int Descriptor() = 0;
    virtual std::string_view NextSend() = 0;
    // What the send did: bytes taken (perhaps fewer than offered) or -errno.
    virtual void OnSendDone(int result) = 0;
};

class UringSender : public WakeObserver, public std::enable_shared_from_this<UringSender> {
public:
    // False with the system's reason where io_uring is missing or forbidden.
    static std::shared_ptr<UringSender> Create(asio::io_context& context, std::string& error);
    ~UringSender();
    UringSender(const UringSender&) = delete;
    UringSender& operator=(const UringSender&) = delete;

    // Sends the outbox's next bytes in this turn's submission. Call again only after OnSendDone.
    void Queue(std::shared_ptr<Outbox> outbox);
    // While the scheduler calls a wake-up's timers their sends wait, and go out together right
    // after, without another turn of the loop.
    void BeforeTimers() override { held_ = true; }
    void AfterTimers() override;

private:
    UringSender(asio::io_context& context, std::unique_ptr<io_uring> ring, int wakeup);

    void Flush();
    void Submit();
    void Reap();
    void WaitForCompletions();

    asio::io_context& context_;
    std::unique_ptr<io_uring> ring_;
    asio::posix::stream_descriptor wakeup_;
    std::vector<std::shared_ptr<Outbox>> queued_;
    std::unordered_map<const Outbox*, std::shared_ptr<Outbox>> inFlight_;
    bool flushPosted_ = false;
    bool held_ = false;
};

// "auto", "uring" or "epoll": the sender to use, or none for one send() per record. With "auto",
// falls back where io_uring is unavailable; `line` says which path is in use and why.
bool ChooseSender(asio::io_context& context, const std::string& wanted, std::shared_ptr<UringSender>& sender,
                  std::string& line, std::string& error);

}  // namespace mimicbox::io
