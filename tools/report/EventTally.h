// How often each kind of event and error happened in a run, for the HTML report: "connect-failed:
// Connection refused", "closed: disconnect", "received: unreadable", ... Reports are counted by the
// series, not here. At most `maxKinds` kinds are told apart; the rest count as others, so that a
// long, noisy run keeps a small tally.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tools/sim/Event.h"

namespace mimicbox::report {

class EventTally : public sim::EventSink {
public:
    explicit EventTally(std::size_t maxKinds = 10000) : maxKinds_(maxKinds) {}

    void OnEvent(const sim::Event& event) override;
    void Count(const std::string& kind);

    // The kinds, most frequent first (then by name), and the events of kinds beyond the limit.
    std::vector<std::pair<std::string, uint64_t>> Kinds() const;
    uint64_t Untold() const { return untold_; }

private:
    std::size_t maxKinds_;
    std::unordered_map<std::string, uint64_t> counts_;
    uint64_t untold_ = 0;
};

// The kind an event counts under, or empty for a report.
std::string EventKindText(const sim::Event& event);

}  // namespace mimicbox::report
