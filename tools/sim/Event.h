// What happens in a run, as structured events: the simulation emits them and never prints; text,
// summaries and other outputs are sinks that read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/DeviceModel.h"
#include "tools/sim/Time.h"

namespace mimicbox::sim {

enum class EventKind {
    kConnected,
    kConnectFailed,
    kLost,      // the connection ended other than by the run's own stop
    kSent,      // one report
    kReceived,  // one record from the server
    kStopped,   // the run closed the connection
    kGaveUp,    // after a failed or lost connection the device does not try again
    kAction,    // a timed or live action was applied to the device
    kClosed,    // an action closed the connection (reason: "disconnect" or "reset")
    kAdded,     // the live control added the device to the running plant
    kRemoved,   // the live control took the device out of the plant
};

struct Event {
    EventKind kind;
    std::size_t device;  // the device's number in the run
    DeviceIdentity identity;
    Instant time;               // on the run's monotonic clock
    int64_t calendarMillis;     // the calendar at that moment, in milliseconds since 1970
    std::string_view record;    // sent or received, without its NUL
    std::string_view reason;    // for kConnectFailed and kLost
    Instant scheduled{};        // kSent: the report's deadline
    Nanos lateness{};           // kSent: time minus deadline
    bool missed = false;        // kSent: more than half a period late
    int skipped = 0;            // kSent: deadlines passed without a report before this one
    int64_t clock = 0;          // kSent: the report's clock, before any fault
    float value = 0;            // kSent: its temperature, or the switch as 0 or 1
    const char* fault = nullptr;  // kSent: the fault applied to the report, by its scenario name
    std::size_t faultTable = 0;   // kSent: the scenario's [[fault]] table it came from (from 1), or 0
    uint64_t liveFault = 0;       // kSent: the id the live control gave the fault, or 0
    const char* action = nullptr; // kAction: the action, by its scenario name
    const char* profile = nullptr; // kAction set-profile: the profile's kind, by its scenario name
    bool read = true;           // kReceived: false once a record of the chunk did not read
    bool dropped = false;       // kReceived: not read, though it reads, as an earlier record of its chunk did not
    bool toggled = false;       // kReceived: the record flipped the switch
};

// Receives every event of a run, in order, on the loop's thread.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void OnEvent(const Event& event) = 0;
};

}  // namespace mimicbox::sim
