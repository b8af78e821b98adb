// A scheduler for tests: its clocks stand still until the test advances them, and advancing runs
// every timer that falls due, in deadline order, each at its own deadline.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "tools/sim/Scheduler.h"

namespace mimicbox::testing {

class ManualScheduler : public sim::Scheduler {
public:
    ManualScheduler();
    ~ManualScheduler() override;

    // Moves the clocks on by `duration`, running the timers due meanwhile. Timers that a callback
    // starts within the window run too.
    void Advance(sim::Nanos duration);
    // Moves the clocks on without running any timer, as a loop held up by other work would; the
    // next Advance runs the overdue timers late.
    void Stall(sim::Nanos duration) { now_ += duration; }
    void SetCalendarSeconds(int64_t seconds) { calendarBase_ = seconds * 1000; }
    std::size_t PendingTimers() const { return queue_.size(); }

    std::unique_ptr<sim::Timer> CreateTimer(std::function<void()> onDue) override;
    sim::Instant Now() const override { return now_; }
    int64_t CalendarMillis() const override;

private:
    class ManualTimer;
    friend class ManualTimer;
    using Queue = std::multimap<std::pair<sim::Instant, uint64_t>, ManualTimer*>;

    Queue queue_;
    sim::Instant start_{std::chrono::hours(1)};
    sim::Instant now_{std::chrono::hours(1)};
    int64_t calendarBase_ = 1765000000000;
    uint64_t sequence_ = 0;
};

}  // namespace mimicbox::testing
