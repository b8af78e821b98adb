#include "tools/testing/PlantHarness.h"

namespace mimicbox::testing {

void PlantHarness::Build(sim::PlantConfig config)
{
    summary = std::make_unique<sim::Summary>(config.devices, config.faults);
    if (keepEvents_)
        sinks_.Add(recorded);
    sinks_.Add(*summary);
    plant = std::make_unique<sim::Plant>(config, scheduler, network, sinks_);
}

void PlantHarness::Build(std::vector<DeviceIdentity> devices)
{
    sim::PlantConfig config;
    config.devices = std::move(devices);
    config.seed = 7;
    Build(std::move(config));
}

void PlantHarness::Start()
{
    plant->Start([this] { finished = true; });
}

}  // namespace mimicbox::testing
