// A small plant for the fuzz targets that drive the live control: the shared plant harness (a
// Thermo-Box and a Relay-Box on simulated time and the fake network) with the controller over it.
// A target makes one for each input, so that what an input finds it finds alone, and fast: nothing is
// recorded but what the controller and its sinks keep.
#pragma once

#include <memory>
#include <string>

#include "tools/control/Controller.h"
#include "tools/testing/PlantHarness.h"

namespace fuzz {

using namespace mimicbox;

// Files as the data folder would give them: every name reads as one small table.
class TableFiles : public control::FileSource {
public:
    void Read(const std::string&, const std::string&, Done done) override { done(true, "0,20\n60,35.5\n", ""); }
};

struct ControlHarness {
    ControlHarness()
    {
        plant.Build({{TYPE_THERMO, 3}, {TYPE_RELAY, 1005}});
        controller = std::make_unique<control::Controller>(
            control::PlantAccess{*plant.plant, *plant.summary, metrics, plant.scheduler, files, &feed}, [] {},
            control::ControllerOptions{64, "/data", 8});
        plant.Add(metrics);
        plant.Add(*controller);
        plant.Add(feed);
        plant.Start();
        plant.scheduler.Advance(std::chrono::milliseconds(1));
    }
    ~ControlHarness()
    {
        plant.plant->Stop();
        controller->EndRun();
    }

    // Dispatches the request, and renders and checks whatever answer it gets, now or later; then lets
    // the plant's time run on, so that faults fire and answers come.
    void Call(const control::Request& request)
    {
        controller->Dispatch(request, [](control::Response response) {
            control::Render(response);
            if (response.status < 200 || response.status > 503)
                __builtin_trap();
            if (response.stream)
                response.stream->Next([](std::string, bool) {});
        });
        plant.scheduler.Advance(std::chrono::milliseconds(200));
    }

    testing::PlantHarness plant{1, false};
    TableFiles files;
    control::Metrics metrics;
    control::EventFeed feed{64, plant.scheduler.Now()};
    std::unique_ptr<control::Controller> controller;
};

}  // namespace fuzz
