// Every timer of a scheduler in a wheel of 1 ms buckets, so that the loop waits on one system timer
// instead of one each, and a wake-up takes its timers from one bucket instead of walking a queue of
// 10,000. Deadlines further ahead than the wheel reaches wait in a heap. Restarted and cancelled
// timers leave their old entries behind, which are skipped by their generation.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "tools/sim/Time.h"

namespace mimicbox::io {

class TimerWheel {
public:
    using Slot = uint32_t;

    // `start` is no later than the first deadline that will be asked for.
    explicit TimerWheel(sim::Instant start);

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
    // started meanwhile wait for the next call. `now` never goes back.
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
    // A type rather than a function, so that the algorithms inline the comparison.
    struct Later {
        bool operator()(const Entry& a, const Entry& b) const { return a.due != b.due ? a.due > b.due : a.order > b.order; }
    };
    static constexpr int64_t kBuckets = 4096;  // a power of two: 4 s ahead at 1 ms each

    static int64_t TickOf(sim::Instant instant);
    bool Live(const Entry& entry) const { return timers_[entry.slot].generation == entry.generation; }
    std::vector<Entry>& Bucket(int64_t tick) { return buckets_[static_cast<std::size_t>(tick & (kBuckets - 1))]; }
    void Place(const Entry& entry);
    void TakeDue(sim::Instant now);
    void Free(Slot slot);

    std::array<std::vector<Entry>, kBuckets> buckets_;
    std::vector<Entry> later_;  // a heap of the deadlines beyond the wheel
    int64_t cursor_;            // the tick of the first bucket; never ahead of the time last run
    std::deque<Timer> timers_;  // a deque: a callback may add timers while another one runs
    std::vector<Slot> free_;
    std::vector<Slot> freeLater_;
    std::vector<Entry> due_;
    uint64_t order_ = 0;
    bool running_ = false;
};

}  // namespace mimicbox::io
