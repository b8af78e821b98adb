// Hands every event to each of several sinks, in the order they were added.
#pragma once

#include <vector>

#include "tools/sim/Event.h"

namespace mimicbox::report {

class FanOut : public sim::EventSink {
public:
    // The sink is not owned and must outlive the fan-out.
    void Add(sim::EventSink& sink) { sinks_.push_back(&sink); }
    void OnEvent(const sim::Event& event) override
    {
        for (sim::EventSink* sink : sinks_)
            sink->OnEvent(event);
    }

private:
    std::vector<sim::EventSink*> sinks_;
};

}  // namespace mimicbox::report
