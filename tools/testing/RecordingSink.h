// A sink for tests that keeps every event, with copies of the texts the events point to.
#pragma once

#include <string>
#include <vector>

#include "tools/sim/Event.h"

namespace mimicbox::testing {

struct RecordedEvent {
    sim::Event event;
    std::string record;
    std::string reason;
};

class RecordingSink : public sim::EventSink {
public:
    void OnEvent(const sim::Event& event) override
    {
        RecordedEvent copy{event, std::string(event.record), std::string(event.reason)};
        copy.event.record = {};
        copy.event.reason = {};
        events.push_back(std::move(copy));
    }
    // The events of one kind, optionally of one device only.
    std::vector<RecordedEvent> Of(sim::EventKind kind, std::size_t device = static_cast<std::size_t>(-1)) const
    {
        std::vector<RecordedEvent> found;
        for (const RecordedEvent& recorded : events)
            if (recorded.event.kind == kind && (device == static_cast<std::size_t>(-1) || recorded.event.device == device))
                found.push_back(recorded);
        return found;
    }

    std::vector<RecordedEvent> events;
};

}  // namespace mimicbox::testing
