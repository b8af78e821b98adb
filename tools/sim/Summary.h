// The run's statistics, computed from its events: per device and over the whole run.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/sim/Event.h"
#include "tools/sim/Histogram.h"

namespace mimicbox::sim {

struct DeviceStats {
    DeviceIdentity identity;
    uint64_t reports = 0;
    uint64_t commands = 0;  // records from the server that were read
    uint64_t toggles = 0;
    uint64_t missed = 0;    // reports more than half a period late, and deadlines skipped
    uint64_t connects = 0;
    bool gaveUp = false;
    DeviceHistogram lateness;
    DeviceHistogram periodDeviation;  // |interval - period| between reports of one connection
    double intervalSumMs = 0;
    uint64_t intervals = 0;
    Instant lastSent{};
    bool hasLastSent = false;
};

class Summary : public EventSink {
public:
    explicit Summary(const std::vector<DeviceIdentity>& devices);

    void OnEvent(const Event& event) override;

    const std::vector<DeviceStats>& Devices() const { return devices_; }
    const RunHistogram& Lateness() const { return lateness_; }
    uint64_t Reports() const { return reports_; }
    uint64_t Missed() const { return missed_; }
    uint64_t Faults() const { return faults_; }
    bool AnyGaveUp() const { return gaveUp_; }

private:
    void OnSent(DeviceStats& stats, const Event& event);

    std::vector<DeviceStats> devices_;
    RunHistogram lateness_;
    uint64_t reports_ = 0;
    uint64_t missed_ = 0;
    uint64_t faults_ = 0;
    bool gaveUp_ = false;
};

}  // namespace mimicbox::sim
