#include "tools/control/EventFeed.h"

#include <algorithm>

namespace mimicbox::control {

EventFeed::EventFeed(std::size_t capacity, sim::Instant start) : capacity_(capacity), format_(nullptr, start) {}

void EventFeed::OnEvent(const sim::Event& event)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({event, std::string(event.record), std::string(event.reason)});
        if (events_.size() > capacity_) {
            events_.pop_front();
            ++first_;
        }
    }
    pushed_.notify_all();
}

void EventFeed::Close()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    pushed_.notify_all();
}

uint64_t EventFeed::Next() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return first_ + events_.size();
}

bool EventFeed::Closed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

std::vector<std::pair<uint64_t, std::string>> EventFeed::From(uint64_t from, std::chrono::milliseconds wait)
{
    std::vector<std::pair<uint64_t, Stored>> copies;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        pushed_.wait_for(lock, wait, [&] { return closed_ || first_ + events_.size() > from; });
        if (closed_)
            return {};
        for (uint64_t number = std::max(from, first_); number < first_ + events_.size(); ++number)
            copies.emplace_back(number, events_[static_cast<std::size_t>(number - first_)]);
    }
    // Formatted outside the lock, so that the loop never waits for it.
    std::vector<std::pair<uint64_t, std::string>> lines;
    lines.reserve(copies.size());
    for (auto& [number, stored] : copies) {
        stored.event.record = stored.record;
        stored.event.reason = stored.reason;
        lines.emplace_back(number, format_.Line(stored.event));
    }
    return lines;
}

}  // namespace mimicbox::control
