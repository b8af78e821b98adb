// One client of the control API's server: it reads requests one after another (pipelined ones too),
// hands each whole one to the handler, and writes the answer, or streams it. A request must arrive
// whole within 10 s (408), an idle client is closed after 5 s, and a client that does not take an
// answer for 10 s is closed. Lives by shared_from_this while anything is pending.
#pragma once

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "tools/control/http/HttpMessage.h"
#include "tools/control/http/RequestParser.h"

namespace mimicbox::control::http {

struct ConnectionSettings {
    RequestLimits limits;
    std::chrono::milliseconds requestTimeout{10000};
    std::chrono::milliseconds idleTimeout{5000};
    std::chrono::milliseconds writeTimeout{10000};
};

class HttpConnection : public std::enable_shared_from_this<HttpConnection> {
public:
    // The handler, error form and settings must outlive the connection's work on the context;
    // `onClosed` is called once, when the connection has closed.
    HttpConnection(asio::ip::tcp::socket socket, HttpHandler& handler, const ErrorResponse& error,
                   const ConnectionSettings& settings, std::function<void()> onClosed);

    void Start();
    // Closes at once when no request is under way; else once its answer is written.
    void Shutdown();
    // Closes at once.
    void Close();
    // Whether it waits for a request of which no byte has come, and since when: such a client may be
    // closed to make room for a new one.
    bool Idle() const;
    std::chrono::steady_clock::time_point IdleSince() const { return idleSince_; }

private:
    enum class State { kReading, kHandling, kWriting, kStreaming, kClosed };

    void Read();
    void Process();
    void Dispatch();
    void Respond(HttpResponse response);
    // The handler's answer to request number `number`; a late one for an earlier request is dropped.
    void Answer(uint64_t number, HttpResponse response);
    // Queues bytes; `then` runs once they are written. Writes go out one after another.
    void Write(std::string bytes, std::function<void()> then);
    void WriteNext();
    void NextPiece();
    void OnPiece(std::string text, bool last);
    void AfterAnswer();
    void Expire(std::chrono::milliseconds after, std::function<void()> onExpired);

    asio::ip::tcp::socket socket_;
    asio::steady_timer timer_;
    HttpHandler& handler_;
    const ErrorResponse& error_;
    const ConnectionSettings& settings_;
    std::function<void()> onClosed_;
    RequestParser parser_;
    std::string inbox_;
    struct Pending {
        std::string bytes;
        std::function<void()> then;
    };
    std::deque<Pending> outbox_;
    bool writing_ = false;
    std::shared_ptr<ResponseStream> stream_;
    State state_ = State::kReading;
    bool reading_ = false;
    bool keepAlive_ = true;
    bool shuttingDown_ = false;
    bool timing_ = false;  // the request timer runs
    uint64_t timerGeneration_ = 0;
    uint64_t requests_ = 0;  // handed to the handler so far
    std::chrono::steady_clock::time_point idleSince_ = std::chrono::steady_clock::now();
};

}  // namespace mimicbox::control::http
