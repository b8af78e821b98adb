// Every timer of a scheduler in one heap of deadlines, so that the loop waits on one system timer
// instead of one each: at 10,000 devices a wake-up pops a few small entries instead of walking
// Asio's per-timer queues. Restarted and cancelled timers leave their old entries behind, which are
// skipped by their generation.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "tools/sim/Time.h"

namespace mimicbox::io {

class TimerHeap {
public:
    using Slot = uint32_t;

    // A new idle timer that calls `onDue` each time it falls due.
    Slot Add(std::function<void()> onDue);
    // The timer calls nothing more; its slot is reused once no call is under way.
    void Remove(Slot slot);
    // Starts or restarts the timer; a pending deadline is replaced.
    void Start(Slot slot, sim::Instant due);
    void Cancel(Slot slot);
    // The earliest deadline of a started timer, if any.
    std::optional<sim::Instant> Next();
    // Calls every timer due at `now`, by deadline and then in the order they were started; timers
    // started meanwhile wait for the next call.
    void RunDue(sim::Instant now);

private:
    struct Entry {
        sim::Instant due;
        uint64_t order;
        Slot slot;
        uint32_t generation;
    };
    struct Timer {
        std::function<void()> onDue;
        uint32_t generation = 0;
    };
    // A type rather than a function, so that the heap's algorithms inline the comparison.
    struct Later {
        bool operator()(const Entry& a, const Entry& b) const { return a.due != b.due ? a.due > b.due : a.order > b.order; }
    };
    bool Live(const Entry& entry) const { return timers_[entry.slot].generation == entry.generation; }
    void Free(Slot slot);

    std::vector<Entry> heap_;
    std::deque<Timer> timers_;  // a deque: a callback may add timers while another one runs
    std::vector<Slot> free_;
    std::vector<Slot> freeLater_;
    std::vector<Entry> due_;
    uint64_t order_ = 0;
    bool running_ = false;
};

}  // namespace mimicbox::io
