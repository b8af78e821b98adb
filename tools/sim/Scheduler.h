// Timers at deadlines, and the clocks the simulation is handed. An interface so that tests can run
// simulated time (tools/testing's ManualScheduler) where the program runs Asio's timers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "tools/sim/Time.h"

namespace mimicbox::sim {

// One timer: started at a deadline, it calls its callback once when the deadline has passed.
class Timer {
public:
    virtual ~Timer() = default;
    // Starts or restarts the timer; a pending deadline is replaced.
    virtual void Start(Instant due) = 0;
    // A cancelled timer does not call; cancelling an idle timer does nothing.
    virtual void Cancel() = 0;
};

class Scheduler {
public:
    virtual ~Scheduler() = default;
    // A new idle timer that calls `onDue` from the scheduler's loop. The timer belongs to the caller;
    // destroying it cancels it.
    virtual std::unique_ptr<Timer> CreateTimer(std::function<void()> onDue) = 0;
    // The monotonic clock of the run.
    virtual Instant Now() const = 0;
    // The calendar in milliseconds since 1970; reports carry its whole seconds.
    virtual int64_t CalendarMillis() const = 0;
    int64_t CalendarSeconds() const { return FloorDiv(CalendarMillis(), 1000); }

private:
    static int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }
};

}  // namespace mimicbox::sim
