#include "tools/io/TimerWheel.h"

#include <algorithm>

namespace mimicbox::io {

TimerWheel::TimerWheel(sim::Instant start) : cursor_(TickOf(start)) {}

int64_t TimerWheel::TickOf(sim::Instant instant)
{
    const int64_t nanos = instant.time_since_epoch().count();
    return nanos / 1000000 - (nanos % 1000000 < 0 ? 1 : 0);
}

TimerWheel::Slot TimerWheel::Add(std::function<void()> onDue)
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

void TimerWheel::Remove(Slot slot)
{
    ++timers_[slot].generation;
    // A timer may be removed from inside its own call: its callback lives until the call is over.
    if (running_)
        freeLater_.push_back(slot);
    else
        Free(slot);
}

void TimerWheel::Free(Slot slot)
{
    timers_[slot].onDue = nullptr;
    free_.push_back(slot);
}

void TimerWheel::Start(Slot slot, sim::Instant due) { Place({due, order_++, slot, ++timers_[slot].generation}); }

void TimerWheel::Cancel(Slot slot) { ++timers_[slot].generation; }

// A deadline already passed goes into the first bucket, which the next run empties.
void TimerWheel::Place(const Entry& entry)
{
    const int64_t tick = std::max(TickOf(entry.due), cursor_);
    if (tick < cursor_ + kBuckets) {
        Bucket(tick).push_back(entry);
        return;
    }
    later_.push_back(entry);
    std::push_heap(later_.begin(), later_.end(), Later{});
}

std::optional<sim::Instant> TimerWheel::Next()
{
    for (int64_t tick = cursor_; tick < cursor_ + kBuckets; ++tick) {
        std::vector<Entry>& bucket = Bucket(tick);
        std::erase_if(bucket, [this](const Entry& entry) { return !Live(entry); });
        if (!bucket.empty())
            return std::min_element(bucket.begin(), bucket.end(), [](const Entry& a, const Entry& b) { return a.due < b.due; })->due;
    }
    while (!later_.empty() && !Live(later_.front())) {
        std::pop_heap(later_.begin(), later_.end(), Later{});
        later_.pop_back();
    }
    if (later_.empty())
        return std::nullopt;
    return later_.front().due;
}

// Moves what is due at `now` into due_, and what the wheel now reaches from the heap into the wheel.
void TimerWheel::TakeDue(sim::Instant now)
{
    const int64_t nowTick = TickOf(now);
    const int64_t last = std::min(nowTick, cursor_ + kBuckets - 1);
    for (int64_t tick = cursor_; tick <= last; ++tick) {
        std::vector<Entry>& bucket = Bucket(tick);
        if (tick < nowTick) {
            due_.insert(due_.end(), bucket.begin(), bucket.end());
            bucket.clear();
            continue;
        }
        // The current millisecond's bucket keeps what falls due later within it.
        const auto later = std::partition(bucket.begin(), bucket.end(), [now](const Entry& entry) { return entry.due <= now; });
        due_.insert(due_.end(), bucket.begin(), later);
        bucket.erase(bucket.begin(), later);
    }
    cursor_ = std::max(cursor_, nowTick);
    while (!later_.empty() && TickOf(later_.front().due) < cursor_ + kBuckets) {
        std::pop_heap(later_.begin(), later_.end(), Later{});
        const Entry entry = later_.back();
        later_.pop_back();
        if (entry.due <= now)
            due_.push_back(entry);
        else
            Place(entry);
    }
    std::sort(due_.begin(), due_.end(), [](const Entry& a, const Entry& b) { return Later{}(b, a); });
}

void TimerWheel::RunDue(sim::Instant now)
{
    due_.clear();
    TakeDue(now);
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
