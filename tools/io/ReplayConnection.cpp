#include "tools/io/ReplayConnection.h"

#include <asio/write.hpp>

namespace mimicbox::io {

ReplayConnection::ReplayConnection(asio::io_context& context, const capture::ConnectionScript& script,
                                   asio::ip::tcp::endpoint server, Clock::time_point start, bool rewriteClock,
                                   ReplayTally& tally)
    : script_(script), socket_(context), timer_(context), server_(std::move(server)), start_(start),
      rewriter_(script.serial, rewriteClock), tally_(tally)
{
}

ReplayConnection::Clock::time_point ReplayConnection::When(double seconds) const
{
    return start_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

void ReplayConnection::Start()
{
    timer_.expires_at(When(script_.connectAt));
    timer_.async_wait([self = shared_from_this()](const asio::error_code& error) {
        if (!error && !self->Ended())
            self->Connect();
    });
}

void ReplayConnection::Connect()
{
    state_ = State::kConnecting;
    socket_.async_connect(server_, [self = shared_from_this()](const asio::error_code& error) {
        if (self->Ended())
            return;
        if (error) {
            ++self->tally_.failedConnects;
            if (self->tally_.firstFailure.empty())
                self->tally_.firstFailure = error.message();
            self->End();
            return;
        }
        self->state_ = State::kConnected;
        ++self->tally_.connections;
        asio::error_code ignored;
        self->socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
        self->tally_.firstConnected.try_emplace(self->script_.device, Clock::now());
        self->Read();
        self->NextStep();
    });
}

void ReplayConnection::NextStep()
{
    if (step_ >= script_.steps->size())
        return;
    timer_.expires_at(When((*script_.steps)[step_].at));
    timer_.async_wait([self = shared_from_this()](const asio::error_code& error) {
        if (error || self->Ended())
            return;
        self->Do((*self->script_.steps)[self->step_++]);
        self->NextStep();
    });
}

void ReplayConnection::Do(const capture::ScriptStep& step)
{
    asio::error_code ignored;
    switch (step.kind) {
    case capture::StepKind::kSend: {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        Send(rewriter_.Feed(step.bytes, std::chrono::duration_cast<std::chrono::seconds>(now).count()));
        break;
    }
    case capture::StepKind::kHalfClose:
        // After what is queued has gone out.
        halfClosePending_ = true;
        Flush();
        break;
    case capture::StepKind::kReset:
        socket_.set_option(asio::socket_base::linger(true, 0), ignored);
        End();
        break;
    case capture::StepKind::kClose:
        End();
        break;
    }
}

void ReplayConnection::Send(std::string bytes)
{
    if (bytes.empty())
        return;
    ++tally_.chunks;
    tally_.bytes += bytes.size();
    queue_.push_back(std::move(bytes));
    Flush();
}

void ReplayConnection::Flush()
{
    if (writing_ || Ended())
        return;
    if (queue_.empty()) {
        if (halfClosePending_) {
            asio::error_code ignored;
            socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
            halfClosePending_ = false;
        }
        return;
    }
    writing_ = true;
    asio::async_write(socket_, asio::buffer(queue_.front()), [self = shared_from_this()](const asio::error_code& error, std::size_t) {
        self->writing_ = false;
        if (self->Ended())
            return;
        if (error) {
            self->End();
            return;
        }
        self->queue_.pop_front();
        self->Flush();
    });
}

void ReplayConnection::Read()
{
    socket_.async_read_some(asio::buffer(input_), [self = shared_from_this()](const asio::error_code& error, std::size_t size) {
        if (self->Ended() || error)
            return;  // the server closed or reset: the script goes on until it ends the connection too
        const double seconds =
            std::chrono::duration<double>(Clock::now() - self->tally_.firstConnected[self->script_.device]).count();
        self->framer_.Feed(std::string_view(self->input_.data(), size), [&](std::string_view record) {
            ++self->tally_.received;
            if (!self->script_.device.empty())
                self->tally_.commands[self->script_.device].push_back({seconds, std::string(record)});
        }, [](std::size_t) {});
        self->Read();
    });
}

void ReplayConnection::Stop()
{
    if (state_ == State::kWaiting)
        ++tally_.notStarted;
    else if (state_ == State::kConnecting)
        ++tally_.stillConnecting;
    End();
}

void ReplayConnection::End()
{
    if (Ended())
        return;
    state_ = State::kEnded;
    asio::error_code ignored;
    timer_.cancel();
    socket_.close(ignored);
}

}  // namespace mimicbox::io
