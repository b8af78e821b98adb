#include "tools/report/EventTally.h"

#include <algorithm>

namespace mimicbox::report {

std::string EventKindText(const sim::Event& event)
{
    switch (event.kind) {
    case sim::EventKind::kSent:
        return {};
    case sim::EventKind::kReceived:
        if (event.dropped)
            return "received: dropped after an unreadable record";
        return event.read ? (event.toggled ? "received: a toggle" : "received: a command") : "received: unreadable";
    case sim::EventKind::kConnected:
        return "connected";
    case sim::EventKind::kConnectFailed:
        return "connect-failed: " + std::string(event.reason);
    case sim::EventKind::kLost:
        return "closed: " + std::string(event.reason);
    case sim::EventKind::kStopped:
        return "closed: stopped";
    case sim::EventKind::kClosed:
        return "closed: " + std::string(event.reason);
    case sim::EventKind::kGaveUp:
        return "gave-up";
    case sim::EventKind::kAction:
        return "event: " + std::string(event.action ? event.action : "");
    case sim::EventKind::kAdded:
        return "added";
    case sim::EventKind::kRemoved:
        return "removed";
    }
    return "event";
}

void EventTally::OnEvent(const sim::Event& event)
{
    if (event.kind != sim::EventKind::kSent)
        Count(EventKindText(event));
}

void EventTally::Count(const std::string& kind)
{
    const auto found = counts_.find(kind);
    if (found != counts_.end())
        ++found->second;
    else if (counts_.size() < maxKinds_)
        counts_.emplace(kind, 1);
    else
        ++untold_;
}

std::vector<std::pair<std::string, uint64_t>> EventTally::Kinds() const
{
    std::vector<std::pair<std::string, uint64_t>> kinds(counts_.begin(), counts_.end());
    std::sort(kinds.begin(), kinds.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    return kinds;
}

}  // namespace mimicbox::report
