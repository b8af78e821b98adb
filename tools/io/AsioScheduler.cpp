#include "tools/io/AsioScheduler.h"

#include <asio/steady_timer.hpp>

namespace mimicbox::io {

namespace {

// The waiting handler holds the state, not the timer: a timer destroyed while a wait is pending
// leaves a handler that finds its generation changed and calls nothing.
struct TimerState {
    TimerState(asio::io_context& context, std::function<void()> callback) : timer(context), onDue(std::move(callback)) {}

    asio::steady_timer timer;
    std::function<void()> onDue;
    uint64_t generation = 0;
};

class AsioTimer : public sim::Timer {
public:
    AsioTimer(asio::io_context& context, std::function<void()> onDue)
        : state_(std::make_shared<TimerState>(context, std::move(onDue)))
    {
    }
    ~AsioTimer() override { Cancel(); }

    void Start(sim::Instant due) override
    {
        const uint64_t generation = ++state_->generation;
        state_->timer.expires_at(due);
        state_->timer.async_wait([state = state_, generation](const std::error_code& error) {
            if (!error && state->generation == generation)
                state->onDue();
        });
    }
    void Cancel() override
    {
        ++state_->generation;
        state_->timer.cancel();
    }

private:
    std::shared_ptr<TimerState> state_;
};

}  // namespace

std::unique_ptr<sim::Timer> AsioScheduler::CreateTimer(std::function<void()> onDue)
{
    return std::make_unique<AsioTimer>(context_, std::move(onDue));
}

sim::Instant AsioScheduler::Now() const { return std::chrono::steady_clock::now(); }

int64_t AsioScheduler::CalendarMillis() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace mimicbox::io
