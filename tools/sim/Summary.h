// The run's statistics, computed from its events: per device and over the whole run.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "tools/sim/Event.h"
#include "tools/sim/Histogram.h"
#include "tools/sim/Fault.h"

namespace mimicbox::sim {

struct DeviceStats {
    DeviceIdentity identity;
    uint64_t reports = 0;
    uint64_t commands = 0;  // records from the server that were read
    uint64_t toggles = 0;
    uint64_t missed = 0;    // reports more than half a period late, and deadlines skipped
    uint64_t connects = 0;
    bool gaveUp = false;
    bool removed = false;   // taken out by the live control, and not added again
    DeviceHistogram lateness;
    // |interval - period| between reports of one connection; kept only where the summary keeps
    // periods (a report made from logs shows none, and a million devices would each pay for it).
    std::shared_ptr<DeviceHistogram> periodDeviation;
    double intervalSumMs = 0;
    uint64_t intervals = 0;
    Instant lastSent{};
    bool hasLastSent = false;
};

// How often one [[fault]] table of the scenario fired, and why it never did.
struct FaultTally {
    std::size_t table = 0;  // from 1
    FaultRule rule;
    uint64_t fired = 0;
    const char* neverFired = nullptr;  // with fired 0: "its devices never connected", ...
};

class Summary : public EventSink {
public:
    explicit Summary(const std::vector<DeviceIdentity>& devices, std::vector<FaultRule> faults = {},
                     bool keepPeriods = true);

    void OnEvent(const Event& event) override;

    const std::vector<DeviceStats>& Devices() const { return devices_; }
    const RunHistogram& Lateness() const { return lateness_; }
    uint64_t Reports() const { return reports_; }
    uint64_t Missed() const { return missed_; }
    uint64_t Faults() const { return faults_; }
    bool AnyGaveUp() const { return gaveUp_; }
    // One tally per [[fault]] table, in the file's order; the reasons are as of now.
    std::vector<FaultTally> FaultTables() const;

private:
    void OnSent(DeviceStats& stats, const Event& event);
    const char* NeverFired(const FaultRule& rule) const;

    std::vector<DeviceStats> devices_;
    bool keepPeriods_;
    std::vector<FaultRule> rules_;
    std::vector<uint64_t> firedByTable_;
    RunHistogram lateness_;
    uint64_t reports_ = 0;
    uint64_t missed_ = 0;
    uint64_t faults_ = 0;
    bool gaveUp_ = false;
};

}  // namespace mimicbox::sim
