// What a scenario expects of the server, and the verdict on it: a sink that follows the run's events
// and, at its end, says for every device and expectation whether it held.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim/DeviceRange.h"
#include "tools/sim/Event.h"
#include "tools/sim/RecordedCommands.h"

namespace mimicbox::sim {

enum class ConnectionExpectation { kAny, kKept, kClosed };

struct Expectation {
    std::vector<DeviceRange> devices;  // empty: every device
    ConnectionExpectation connection = ConnectionExpectation::kAny;
    std::optional<double> within;      // closed: at most these seconds after the device's first fault
    std::optional<uint64_t> minToggles;
    std::optional<uint64_t> maxToggles;
    bool noUnreadableCommands = false;
    // same_commands_as_recording: its tolerance in seconds, and what the recorded server sent each
    // device, attached once the capture is read.
    std::optional<double> sameCommands;
    std::shared_ptr<const RecordedCommands> recording;
};

struct VerdictResult {
    std::string device;  // "thermo:3"
    std::string name;    // "connection closed within 2 s", "toggles from 1 to 3", ...
    bool passed = false;
    std::string detail;  // what was seen
    // Whether nothing later in the run can change `passed`; until the run ends, an unsettled result
    // says only how it stands now.
    bool settled = false;
};

class Verdict : public EventSink {
public:
    Verdict(const std::vector<DeviceIdentity>& devices, std::vector<Expectation> expectations);

    void OnEvent(const Event& event) override;

    // One result per device and expectation that names it, in device order.
    std::vector<VerdictResult> Results() const;
    // Whether a device that gave up has an expectation on its connection, which then judges it.
    bool CoversConnection(std::size_t device) const;

private:
    struct Seen {
        uint64_t toggles = 0;
        uint64_t unreadable = 0;
        uint64_t dropped = 0;  // good records after an unreadable one in the same chunk
        bool connected = false;
        bool lost = false;
        std::optional<Instant> firstFault;
        std::optional<Instant> lostAt;
        std::optional<Instant> firstConnected;
        std::vector<TimedRecord> commands;  // kept only for a comparison with a recording
    };
    bool Names(const Expectation& expectation, std::size_t device) const;
    void Judge(const Expectation& expectation, std::size_t device, std::vector<VerdictResult>& results) const;

    std::vector<DeviceIdentity> devices_;
    std::vector<Expectation> expectations_;
    std::vector<Seen> seen_;
    bool keepCommands_ = false;
};

}  // namespace mimicbox::sim
