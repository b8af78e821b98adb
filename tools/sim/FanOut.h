// Hands every event to each of several sinks, in the order they were added.
#pragma once

#include <vector>

#include "tools/sim/Event.h"

namespace mimicbox::sim {

class FanOut : public EventSink {
public:
    // The sink is not owned and must outlive the fan-out.
    void Add(EventSink& sink) { sinks_.push_back(&sink); }
    void OnEvent(const Event& event) override
    {
        for (EventSink* sink : sinks_)
            sink->OnEvent(event);
    }

private:
    std::vector<EventSink*> sinks_;
};

}  // namespace mimicbox::sim
