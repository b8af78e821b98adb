// Two plants given the same changes: one as a scenario's timed events and fault, the other as
// control requests at the same moments. Both paths reach the devices the same way, so the two event
// streams must be the same, record for record.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tools/control/Controller.h"
#include "tools/testing/PlantHarness.h"

using namespace mimicbox;
using namespace std::chrono_literals;

namespace {

// No file is read here.
class NoFiles : public control::FileSource {
public:
    void Read(const std::string&, const std::string&, Done done) override { done(false, "", "no files"); }
};

sim::PlantConfig TwoDevices()
{
    sim::PlantConfig config;
    config.devices = {{TYPE_THERMO, 3}, {TYPE_RELAY, 1005}};
    config.seed = 21;
    return config;
}

sim::TimedAction At(double seconds, sim::ActionKind kind, sim::DeviceRange device)
{
    sim::TimedAction timed;
    timed.at = seconds;
    timed.action.kind = kind;
    timed.devices = {device};
    return timed;
}

// What an event says, without where a fault came from, which differs by path.
std::vector<std::string> Stream(const mimicbox::testing::RecordingSink& recorded)
{
    std::vector<std::string> lines;
    for (const mimicbox::testing::RecordedEvent& seen : recorded.events) {
        const sim::Event& event = seen.event;
        lines.push_back(std::to_string(static_cast<int>(event.kind)) + " " + std::to_string(event.device) + " " +
                        std::to_string(event.time.time_since_epoch().count()) + " " + seen.record + " " + seen.reason +
                        " " + (event.action ? event.action : "") + " " + (event.fault ? event.fault : ""));
    }
    return lines;
}

}  // namespace

TEST(TwinPlantTest, TimedEventsAndControlRequestsMakeTheSameEvents)
{
    const sim::DeviceRange thermo{TYPE_THERMO, 3, 3};
    const sim::DeviceRange relay{TYPE_RELAY, 1005, 1005};

    sim::PlantConfig timed = TwoDevices();
    timed.actions.push_back(At(1.2, sim::ActionKind::kSetSwitch, relay));
    timed.actions.back().action.change = sim::SwitchChange::kOn;
    timed.actions.push_back(At(2.0, sim::ActionKind::kSetTemperature, thermo));
    timed.actions.back().action.temperature = "42.5";
    timed.actions.push_back(At(3.1, sim::ActionKind::kSilence, thermo));
    timed.actions.back().action.seconds = 2;
    timed.actions.push_back(At(6.05, sim::ActionKind::kDisconnect, relay));
    sim::FaultRule garbage;
    garbage.fault.kind = sim::FaultKind::kGarbage;
    garbage.fault.bytes = 4;
    garbage.fault.trigger.at = 4.2;
    garbage.devices = {relay};
    timed.faults.push_back(garbage);
    mimicbox::testing::PlantHarness byEvents;
    byEvents.Build(timed);
    byEvents.Start();

    mimicbox::testing::PlantHarness byRequests;
    byRequests.Build(TwoDevices());
    control::Metrics metrics;
    NoFiles files;
    control::Controller controller(
        {*byRequests.plant, *byRequests.summary, metrics, byRequests.scheduler, files, nullptr}, [] {});
    byRequests.Add(controller);
    byRequests.Start();
    const std::pair<double, control::Request> requests[] = {
        {1.2, {"PUT", "/devices/relay:1005/switch", R"({"state": "on"})"}},
        {2.0, {"PUT", "/devices/thermo:3/temperature", R"({"value": 42.5})"}},
        {3.1, {"POST", "/devices/thermo:3/silence", R"({"duration": 2})"}},
        {4.2, {"POST", "/devices/relay:1005/fault", R"({"kind": "garbage", "bytes": 4})"}},
        {6.05, {"POST", "/devices/relay:1005/disconnect", ""}},
    };
    const sim::Instant start = byRequests.scheduler.Now();
    std::vector<std::unique_ptr<sim::Timer>> timers;
    for (const auto& timedRequest : requests) {
        const control::Request& request = timedRequest.second;
        timers.push_back(byRequests.scheduler.CreateTimer([&controller, &request] {
            controller.Dispatch(request, [](control::Response response) { EXPECT_LT(response.status, 300) << response.body; });
        }));
        timers.back()->Start(start + sim::Seconds(timedRequest.first));
    }

    byEvents.scheduler.Advance(8s);
    byRequests.scheduler.Advance(8s);
    const std::vector<std::string> expected = Stream(byEvents.recorded);
    EXPECT_EQ(Stream(byRequests.recorded), expected);
    // The changes did happen: a fault, an action of each kind, and a disconnect.
    EXPECT_GE(byEvents.recorded.Of(sim::EventKind::kAction).size(), 4u);
    EXPECT_EQ(byEvents.summary->Faults(), 1u);
    EXPECT_EQ(byEvents.recorded.Of(sim::EventKind::kClosed).size(), 1u);
}
