#include "tools/control/EventFeed.h"

#include <algorithm>

namespace mimicbox::control {

void EventFeed::Push(std::string line)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(std::move(line));
        if (lines_.size() > capacity_) {
            lines_.pop_front();
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
    return first_ + lines_.size();
}

bool EventFeed::Closed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

std::vector<std::pair<uint64_t, std::string>> EventFeed::From(uint64_t from, std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> lock(mutex_);
    pushed_.wait_for(lock, wait, [&] { return closed_ || first_ + lines_.size() > from; });
    std::vector<std::pair<uint64_t, std::string>> lines;
    if (closed_)
        return lines;
    for (uint64_t number = std::max(from, first_); number < first_ + lines_.size(); ++number)
        lines.emplace_back(number, lines_[static_cast<std::size_t>(number - first_)]);
    return lines;
}

FeedSink::FeedSink(EventFeed& feed, sim::Instant start) : feed_(feed), format_(nullptr, start) {}

void FeedSink::OnEvent(const sim::Event& event) { feed_.Push(format_.Line(event)); }

}  // namespace mimicbox::control
