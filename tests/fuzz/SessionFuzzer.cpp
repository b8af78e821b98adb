// Feeds arbitrary bytes from a server to two simulated devices through their sessions, as TCP could
// split them: framing, commands and toggles, while the devices go on reporting. The devices must keep
// a switch of 0 or 1 and send nothing but whole reports.
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/Record.h"
#include "tools/sim/Plant.h"
#include "tools/testing/FakeNetwork.h"
#include "tools/testing/ManualScheduler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace mimicbox;
    if (size == 0)
        return 0;
    testing::ManualScheduler scheduler;
    testing::FakeNetwork network(scheduler, data[0]);
    sim::PlantConfig config;
    config.devices = {{TYPE_THERMO, 3}, {TYPE_RELAY, 1005}};
    struct Quiet : sim::EventSink {
        void OnEvent(const sim::Event&) override {}
    } sink;
    sim::Plant plant(config, scheduler, network, sink);
    plant.Start({});
    scheduler.Advance(std::chrono::milliseconds(1));
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    network.ServerWrite(0, bytes);
    network.ServerWrite(1, bytes);
    scheduler.Advance(std::chrono::milliseconds(1600));
    for (std::size_t device = 0; device < 2; ++device) {
        const int state = plant.At(device).GetDevice().SwitchState();
        const std::string& sent = network.Received(device);
        if ((state != 0 && state != 1) || sent.empty() || sent.back() != '\0')
            __builtin_trap();
    }
    plant.Stop();
    return 0;
}
