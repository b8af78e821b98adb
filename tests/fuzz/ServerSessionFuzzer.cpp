// Feeds arbitrary bytes to mimicbox-server's sessions: several devices' streams, framed as a session
// frames them, interleaved with connects, closes, typed commands and time. Whatever comes, the server
// answers, counts and lets go without a crash, and sends toggles only as records of the protocol.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "tools/io/RecordFramer.h"
#include "tools/server/DeviceServer.h"
#include "tools/testing/FakeServerNetwork.h"
#include "tools/testing/ManualScheduler.h"

namespace {

class Quiet : public mimicbox::server::ServerSink {
public:
    void OnEvent(const mimicbox::server::ServerEvent&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace mimicbox;
    testing::ManualScheduler scheduler;
    testing::FakeServerNetwork network;
    Quiet sink;
    server::ServerOptions options;
    options.port = 0;
    options.toggleEverySeconds = 0.5;
    options.stats = true;
    server::DeviceServer deviceServer(options, scheduler, network, sink, [] {});
    std::string error;
    if (!deviceServer.Listen(error))
        __builtin_trap();
    std::map<std::size_t, io::RecordFramer> framers;
    // Each step: a byte that says what happens, then for bytes its length and bytes.
    for (size_t at = 0; at < size;) {
        const uint8_t op = data[at++];
        const std::size_t device = op % 4;
        switch (op >> 6) {
        case 0:
            if (framers.size() < 4)
                framers.try_emplace(network.Connect(), 65536);
            break;
        case 1: {
            const size_t length = std::min<size_t>(op & 0x3f, size - at);
            const std::string bytes(reinterpret_cast<const char*>(data + at), length);
            at += length;
            const auto framer = framers.find(device);
            if (framer != framers.end())
                framer->second.Feed(bytes, [&](std::string_view record) { network.SendRecord(device, std::string(record)); },
                                    [&](std::size_t dropped) { network.Overflow(device, dropped); });
            break;
        }
        case 2:
            if (framers.erase(device))
                network.Disconnect(device);
            break;
        default: {
            static const char* const kCommands[] = {"t", "t 1005", "l", "t 0", "t -1", "t 99999999999", "x", ""};
            deviceServer.OnCommand(kCommands[op & 7]);
            scheduler.Advance(std::chrono::milliseconds(10 * (op & 0x38)));
            break;
        }
        }
    }
    // Whatever went to the devices is toggle records, each ended by its NUL.
    for (const auto& [device, framer] : framers) {
        const std::string& sent = network.Received(device);
        if (!sent.empty() && sent.back() != '\0')
            __builtin_trap();
    }
    deviceServer.Stop();
    return 0;
}
