// What the server counts for its --stats line: records and their rate, unreadable records, toggles
// sent, the largest burst of connects in any 100 ms, and how far each device's report intervals
// stray from its model's period.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "tools/sim/Histogram.h"

namespace mimicbox::server {

class ServerStats {
public:
    // A readable report of the device with this type and serial arrived at `now`.
    void OnReport(const void* session, int32_t deviceType, sim::Instant now);
    // A connection was accepted at `now`.
    void OnConnect(sim::Instant now);
    void OnRecord() { ++records_; }
    void OnUnreadable() { ++unreadable_; }
    void OnToggleSent() { ++toggles_; }
    void Forget(const void* session) { lastReport_.erase(session); }

    // "devices 10000, records/s 13333.3, records 400000, unreadable 0, toggles sent 0, connects per
    // 100 ms 12, period deviation p99 0.12 ms": records and unreadable ones so far
    // for the window since the last call, which starts a new window.
    std::string Line(std::size_t devices, sim::Nanos window);

private:
    std::unordered_map<const void*, sim::Instant> lastReport_;
    sim::RunHistogram deviation_;
    uint64_t records_ = 0;
    uint64_t recordsBefore_ = 0;
    uint64_t unreadable_ = 0;
    uint64_t toggles_ = 0;
    int64_t burstSlot_ = -1;
    uint64_t burst_ = 0;
    uint64_t peakBurst_ = 0;
};

}  // namespace mimicbox::server
