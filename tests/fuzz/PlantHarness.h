// A small plant for the fuzz targets that drive the live control: a Thermo-Box and a Relay-Box on
// simulated time and the fake network, with the controller over them. Made afresh for each input.
#pragma once

#include <memory>
#include <string>

#include "tools/control/Controller.h"
#include "tools/report/FanOut.h"
#include "tools/testing/FakeNetwork.h"
#include "tools/testing/ManualScheduler.h"

namespace fuzz {

using namespace mimicbox;

// Files as the data folder would give them: every name reads as one small table.
class TableFiles : public control::FileSource {
public:
    void Read(const std::string&, const std::string&, Done done) override { done(true, "0,20\n60,35.5\n", ""); }
};

struct PlantHarness {
    PlantHarness()
    {
        config.devices = {{TYPE_THERMO, 3}, {TYPE_RELAY, 1005}};
        config.seed = 1;
        summary = std::make_unique<sim::Summary>(config.devices);
        plant = std::make_unique<sim::Plant>(config, scheduler, network, sinks);
        controller = std::make_unique<control::Controller>(
            control::PlantAccess{*plant, *summary, metrics, scheduler, files, &feed}, [] {},
            control::ControllerOptions{64, "/data", 8});
        sinks.Add(*summary);
        sinks.Add(metrics);
        sinks.Add(*controller);
        sinks.Add(feed);
        plant->Start({});
        scheduler.Advance(std::chrono::milliseconds(1));
    }
    ~PlantHarness()
    {
        plant->Stop();
        controller->EndRun();
    }

    // Dispatches the request, and renders and checks whatever answer it gets, now or later.
    void Call(const control::Request& request)
    {
        controller->Dispatch(request, [](control::Response response) {
            control::Render(response);
            if (response.status < 200 || response.status > 503)
                __builtin_trap();
            if (response.stream)
                response.stream->Next([](std::string, bool) {});
        });
    }

    sim::PlantConfig config;
    testing::ManualScheduler scheduler;
    testing::FakeNetwork network{scheduler};
    TableFiles files;
    report::FanOut sinks;
    control::Metrics metrics;
    control::EventFeed feed{64, scheduler.Now()};
    std::unique_ptr<sim::Summary> summary;
    std::unique_ptr<sim::Plant> plant;
    std::unique_ptr<control::Controller> controller;
};

}  // namespace fuzz
