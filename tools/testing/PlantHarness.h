// A plant for tests: on the manual clock and the fake network, with every event recorded and the
// summary kept, and more sinks where a test adds them. One harness, so that the tests of the
// simulation, the live control and the fuzz targets all drive the plant the same way.
#pragma once

#include <memory>
#include <vector>

#include "tools/sim/FanOut.h"
#include "tools/sim/Plant.h"
#include "tools/sim/Summary.h"
#include "tools/testing/FakeNetwork.h"
#include "tools/testing/ManualScheduler.h"
#include "tools/testing/RecordingSink.h"

namespace mimicbox::testing {

class PlantHarness {
public:
    // `networkSeed` says where the fake network splits what the server sends. Without `keepEvents`
    // nothing is recorded: a fuzz target that makes a plant for each input need not pay for it.
    explicit PlantHarness(uint64_t networkSeed = 1, bool keepEvents = true)
        : network(scheduler, networkSeed), keepEvents_(keepEvents)
    {
    }

    // Builds the plant of `config`, or of `devices` with a fixed seed; nothing starts yet.
    void Build(sim::PlantConfig config);
    void Build(std::vector<DeviceIdentity> devices);
    // Adds a sink after the recorder and the summary; it must outlive the harness's use.
    void Add(sim::EventSink& sink) { sinks_.Add(sink); }
    // Starts the plant; `finished` tells when the run has ended by itself.
    void Start();

    // The reports device `index` has sent, as events.
    std::size_t Sent(std::size_t index) const { return recorded.Of(sim::EventKind::kSent, index).size(); }

    ManualScheduler scheduler;
    FakeNetwork network;
    RecordingSink recorded;
    std::unique_ptr<sim::Summary> summary;
    std::unique_ptr<sim::Plant> plant;
    bool finished = false;

private:
    sim::FanOut sinks_;
    bool keepEvents_;
};

}  // namespace mimicbox::testing
