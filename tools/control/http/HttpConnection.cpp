#include "tools/control/http/HttpConnection.h"

#include <array>
#include <asio/post.hpp>
#include <asio/write.hpp>

#include "tools/control/http/ResponseText.h"

namespace mimicbox::control::http {

namespace {

constexpr std::size_t kReadSize = 4096;
const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

}  // namespace

HttpConnection::HttpConnection(asio::ip::tcp::socket socket, HttpHandler& handler, const ErrorResponse& error,
                               const ConnectionSettings& settings, std::function<void()> onClosed)
    : socket_(std::move(socket)), timer_(socket_.get_executor()), handler_(handler), error_(error),
      settings_(settings), onClosed_(std::move(onClosed)), parser_(settings.limits)
{
}

void HttpConnection::Start()
{
    std::error_code ignored;
    socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
    Expire(settings_.idleTimeout, [this] { Close(); });
    Read();
}

void HttpConnection::Read()
{
    if (reading_ || state_ != State::kReading)
        return;
    reading_ = true;
    auto buffer = std::make_shared<std::array<char, kReadSize>>();
    socket_.async_read_some(asio::buffer(*buffer), [self = shared_from_this(), buffer](const std::error_code& error,
                                                                                       std::size_t size) {
        self->reading_ = false;
        if (self->state_ == State::kClosed)
            return;
        if (error) {
            // The client went away; an answer under way has no one to go to.
            if (self->state_ == State::kReading)
                self->Close();
            return;
        }
        self->inbox_.append(buffer->data(), size);
        self->Process();
    });
}

void HttpConnection::Process()
{
    while (state_ == State::kReading) {
        const RequestParser::Result result = parser_.Feed(inbox_);
        if (parser_.Started() && !timing_) {
            timing_ = true;
            Expire(settings_.requestTimeout, [this] {
                keepAlive_ = false;
                Respond(error_(408, "the request did not arrive whole within " +
                                        std::to_string(settings_.requestTimeout.count() / 1000) + " s"));
            });
        }
        switch (result) {
        case RequestParser::Result::kNeedMore: Read(); return;
        case RequestParser::Result::kHead:
            if (parser_.ExpectsContinue())
                Write(kContinue, nullptr);
            continue;
        case RequestParser::Result::kDone: Dispatch(); return;
        case RequestParser::Result::kError:
            keepAlive_ = false;
            Respond(error_(parser_.ErrorStatus(), parser_.ErrorText()));
            return;
        }
    }
}

void HttpConnection::Dispatch()
{
    state_ = State::kHandling;
    ++timerGeneration_;
    timer_.cancel();
    keepAlive_ = parser_.KeepAlive();
    std::weak_ptr<HttpConnection> weak = shared_from_this();
    const asio::any_io_executor executor = socket_.get_executor();
    const uint64_t number = ++requests_;
    handler_.Handle(parser_.TakeRequest(), [weak, executor, number](HttpResponse response) {
        asio::post(executor, [weak, number, response = std::move(response)]() mutable {
            if (auto self = weak.lock())
                self->Answer(number, std::move(response));
        });
    });
}

void HttpConnection::Answer(uint64_t number, HttpResponse response)
{
    if (number == requests_ && state_ == State::kHandling)
        Respond(std::move(response));
}

void HttpConnection::Respond(HttpResponse response)
{
    if (state_ == State::kClosed || state_ == State::kWriting || state_ == State::kStreaming)
        return;
    state_ = State::kWriting;
    keepAlive_ = keepAlive_ && !response.close && !shuttingDown_;
    // The head first: it says whether the body is chunked, which takes the stream still in place.
    std::string bytes = ResponseHead(response, keepAlive_);
    stream_ = std::move(response.stream);
    if (!stream_)
        bytes += response.body;
    Write(std::move(bytes), [this] {
        if (stream_) {
            state_ = State::kStreaming;
            NextPiece();
        } else {
            AfterAnswer();
        }
    });
}

void HttpConnection::Write(std::string bytes, std::function<void()> then)
{
    outbox_.push_back({std::move(bytes), std::move(then)});
    if (!writing_)
        WriteNext();
}

void HttpConnection::WriteNext()
{
    if (outbox_.empty() || state_ == State::kClosed)
        return;
    writing_ = true;
    // An answer the client does not take within the time ends the connection.
    if (outbox_.front().then)
        Expire(settings_.writeTimeout, [this] { Close(); });
    asio::async_write(socket_, asio::buffer(outbox_.front().bytes),
                      [self = shared_from_this()](const std::error_code& error, std::size_t) {
                          self->writing_ = false;
                          if (self->state_ == State::kClosed)
                              return;
                          if (error) {
                              self->Close();
                              return;
                          }
                          std::function<void()> then = std::move(self->outbox_.front().then);
                          self->outbox_.pop_front();
                          if (then)
                              then();
                          if (!self->writing_)
                              self->WriteNext();
                      });
}

void HttpConnection::NextPiece()
{
    std::weak_ptr<HttpConnection> weak = shared_from_this();
    const asio::any_io_executor executor = socket_.get_executor();
    ++timerGeneration_;
    timer_.cancel();
    stream_->Next([weak, executor](std::string text, bool last) {
        asio::post(executor, [weak, text = std::move(text), last]() mutable {
            if (auto self = weak.lock())
                self->OnPiece(std::move(text), last);
        });
    });
}

void HttpConnection::OnPiece(std::string text, bool last)
{
    if (state_ != State::kStreaming)
        return;
    std::string bytes = text.empty() ? std::string() : Chunk(text);
    if (last)
        bytes += Chunk("");
    if (bytes.empty()) {
        NextPiece();
        return;
    }
    Write(std::move(bytes), [this, last] {
        if (last)
            Close();
        else
            NextPiece();
    });
}

void HttpConnection::AfterAnswer()
{
    if (!keepAlive_) {
        Close();
        return;
    }
    parser_.Reset();
    timing_ = false;
    state_ = State::kReading;
    idleSince_ = std::chrono::steady_clock::now();
    Expire(settings_.idleTimeout, [this] { Close(); });
    // A request sent behind the last one is already here.
    Process();
}

void HttpConnection::Expire(std::chrono::milliseconds after, std::function<void()> onExpired)
{
    const uint64_t generation = ++timerGeneration_;
    timer_.expires_after(after);
    timer_.async_wait([self = shared_from_this(), generation, onExpired = std::move(onExpired)](const std::error_code& error) {
        if (!error && self->timerGeneration_ == generation && self->state_ != State::kClosed)
            onExpired();
    });
}

bool HttpConnection::Idle() const { return state_ == State::kReading && !parser_.Started() && outbox_.empty(); }

void HttpConnection::Shutdown()
{
    shuttingDown_ = true;
    if (state_ == State::kReading && !parser_.Started())
        Close();
}

void HttpConnection::Close()
{
    if (state_ == State::kClosed)
        return;
    state_ = State::kClosed;
    ++timerGeneration_;
    timer_.cancel();
    std::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    socket_.close(ignored);
    stream_.reset();
    if (onClosed_)
        std::exchange(onClosed_, nullptr)();
}

}  // namespace mimicbox::control::http
