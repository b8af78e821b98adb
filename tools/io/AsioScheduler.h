// The scheduler on Asio: steady_timer deadlines on the io_context, the system's monotonic clock and
// calendar. Timers wait with nanosecond deadlines (timerfd under epoll), so a report leaves within
// the kernel's timer slack of its deadline.
#pragma once

#include <asio/io_context.hpp>

#include "tools/sim/Scheduler.h"

namespace mimicbox::io {

class AsioScheduler : public sim::Scheduler {
public:
    // The context is not owned and must outlive every timer.
    explicit AsioScheduler(asio::io_context& context) : context_(context) {}

    std::unique_ptr<sim::Timer> CreateTimer(std::function<void()> onDue) override;
    sim::Instant Now() const override;
    int64_t CalendarMillis() const override;

private:
    asio::io_context& context_;
};

}  // namespace mimicbox::io
