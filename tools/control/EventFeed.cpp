#include "tools/control/EventFeed.h"

#include <algorithm>

namespace mimicbox::control {

namespace {

// A report as the plant sends most of them: the feed without reports leaves these out, and keeps a
// report that carried a fault, which is news.
bool PlainReport(const sim::Event& event) { return event.kind == sim::EventKind::kSent && !event.fault; }

}  // namespace

EventFeed::EventFeed(std::size_t capacity, sim::Instant start) : capacity_(capacity), format_(nullptr, start) {}

void EventFeed::OnEvent(const sim::Event& event)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const bool report = PlainReport(event);
    if (!report)
        others_.push_back(first_ + events_.size());
    events_.push_back({event, std::string(event.record), std::string(event.reason)});
    if (events_.size() > capacity_) {
        events_.pop_front();
        ++first_;
        if (!others_.empty() && others_.front() < first_)
            others_.pop_front();
    }
    WakeAll(lock, report);
}

void EventFeed::Close()
{
    std::unique_lock<std::mutex> lock(mutex_);
    closed_ = true;
    WakeAll(lock, false);
}

void EventFeed::WakeAll(std::unique_lock<std::mutex>& lock, bool report)
{
    if (waiting_.empty() && (report || waitingForOthers_.empty()))
        return;
    std::vector<std::function<void()>> woken;
    woken.swap(waiting_);
    if (!report) {
        woken.insert(woken.end(), std::make_move_iterator(waitingForOthers_.begin()),
                     std::make_move_iterator(waitingForOthers_.end()));
        waitingForOthers_.clear();
    }
    lock.unlock();
    for (const auto& wake : woken)
        wake();
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

bool EventFeed::WaitFor(uint64_t from, std::function<void()> wake, bool reports)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const bool kept = reports ? first_ + events_.size() > from : !others_.empty() && others_.back() >= from;
    if (closed_ || kept)
        return false;
    (reports ? waiting_ : waitingForOthers_).push_back(std::move(wake));
    return true;
}

bool EventFilter::Admits(const sim::Event& event) const
{
    if (!reports && PlainReport(event))
        return false;
    return !device || (device->nDeviceType == event.identity.nDeviceType && device->nSerial == event.identity.nSerial);
}

std::vector<std::pair<uint64_t, std::string>> EventFeed::Take(uint64_t from, std::size_t most) const
{
    uint64_t next = 0;
    return Take(from, most, EventFilter{}, next);
}

std::vector<std::pair<uint64_t, EventFeed::Stored>> EventFeed::Copy(uint64_t from, std::size_t most,
                                                                    const EventFilter& filter, uint64_t& next) const
{
    // The lock is held for a bounded scan, however few events the filter admits.
    const std::size_t mostLookedAt = most * 8;
    std::vector<std::pair<uint64_t, Stored>> copies;
    std::lock_guard<std::mutex> lock(mutex_);
    const uint64_t end = first_ + events_.size();
    next = std::max(from, first_);
    const auto admit = [&](uint64_t number) {
        const Stored& stored = events_[static_cast<std::size_t>(number - first_)];
        if (filter.Admits(stored.event))
            copies.emplace_back(number, stored);
    };
    if (filter.reports) {
        for (std::size_t looked = 0; next < end && copies.size() < most && looked < mostLookedAt; ++next, ++looked)
            admit(next);
        return copies;
    }
    auto other = std::lower_bound(others_.begin(), others_.end(), next);
    for (std::size_t looked = 0; other != others_.end() && copies.size() < most && looked < mostLookedAt; ++other, ++looked) {
        admit(*other);
        next = *other + 1;
    }
    if (other == others_.end())
        next = end;
    return copies;
}

std::vector<std::pair<uint64_t, std::string>> EventFeed::Take(uint64_t from, std::size_t most,
                                                              const EventFilter& filter, uint64_t& next) const
{
    std::vector<std::pair<uint64_t, Stored>> copies = Copy(from, most, filter, next);
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
