#include "tools/io/TimerHeap.h"

#include <algorithm>

namespace mimicbox::io {

TimerHeap::Slot TimerHeap::Add(std::function<void()> onDue)
{
    if (free_.empty()) {
        timers_.push_back({std::move(onDue), 0});
        return static_cast<Slot>(timers_.size() - 1);
    }
    const Slot slot = free_.back();
    free_.pop_back();
    timers_[slot].onDue = std::move(onDue);
    return slot;
}

void TimerHeap::Remove(Slot slot)
{
    ++timers_[slot].generation;
    // A timer may be removed from inside its own call: its callback lives until the call is over.
    if (running_)
        freeLater_.push_back(slot);
    else
        Free(slot);
}

void TimerHeap::Free(Slot slot)
{
    timers_[slot].onDue = nullptr;
    free_.push_back(slot);
}

void TimerHeap::Start(Slot slot, sim::Instant due)
{
    heap_.push_back({due, order_++, slot, ++timers_[slot].generation});
    std::push_heap(heap_.begin(), heap_.end(), Later{});
}

void TimerHeap::Cancel(Slot slot) { ++timers_[slot].generation; }

std::optional<sim::Instant> TimerHeap::Next()
{
    while (!heap_.empty() && !Live(heap_.front())) {
        std::pop_heap(heap_.begin(), heap_.end(), Later{});
        heap_.pop_back();
    }
    if (heap_.empty())
        return std::nullopt;
    return heap_.front().due;
}

void TimerHeap::RunDue(sim::Instant now)
{
    due_.clear();
    while (!heap_.empty() && heap_.front().due <= now) {
        std::pop_heap(heap_.begin(), heap_.end(), Later{});
        due_.push_back(heap_.back());
        heap_.pop_back();
    }
    running_ = true;
    for (const Entry& entry : due_) {
        // Checked at its turn: an earlier call may have restarted, cancelled or removed it.
        if (!Live(entry))
            continue;
        Timer& timer = timers_[entry.slot];
        ++timer.generation;
        timer.onDue();
    }
    running_ = false;
    for (const Slot slot : freeLater_)
        Free(slot);
    freeLater_.clear();
}

}  // namespace mimicbox::io
