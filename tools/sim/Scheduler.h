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
    // The calendar: seconds since 1970, the clock value reports carry.
    virtual int64_t CalendarSeconds() const = 0;
};

}  // namespace mimicbox::sim
