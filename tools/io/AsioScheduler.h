// The scheduler on Asio: the system's monotonic clock and calendar, and every timer's deadline in
// one wheel behind one steady_timer on the io_context. It waits with nanosecond deadlines (timerfd
// under epoll), so a report leaves within the kernel's timer slack of its deadline.
#pragma once

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include "tools/io/TimerWheel.h"
#include "tools/sim/Scheduler.h"

namespace mimicbox::io {

// Told before the timers of a wake-up are called and after they have been.
class WakeObserver {
public:
    virtual ~WakeObserver() = default;
    virtual void BeforeTimers() = 0;
    virtual void AfterTimers() = 0;
};

class AsioScheduler : public sim::Scheduler {
public:
    // The context is not owned; the scheduler must outlive every timer it made.
    explicit AsioScheduler(asio::io_context& context) : wake_(context), wheel_(std::chrono::steady_clock::now()) {}

    std::unique_ptr<sim::Timer> CreateTimer(std::function<void()> onDue) override;
    sim::Instant Now() const override;
    int64_t CalendarMillis() const override;

    void Observe(std::shared_ptr<WakeObserver> observer) { observer_ = std::move(observer); }

    // For the timers: a deadline was set.
    void Started(TimerWheel::Slot slot, sim::Instant due);
    TimerWheel& Wheel() { return wheel_; }

private:
    void Arm();
    void OnWake();

    asio::steady_timer wake_;
    TimerWheel wheel_;
    std::shared_ptr<WakeObserver> observer_;
    std::optional<sim::Instant> armedFor_;  // the deadline the system timer waits for
    bool running_ = false;
};

}  // namespace mimicbox::io
